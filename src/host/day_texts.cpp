// The one step of window creation that decides what will scroll today.
#include "host/day_texts.h"

#include "core/text.h"
#include "feed/url_scheme.h"

namespace tavelin {
namespace {

// A heap copy at the tail; when memory is short the text is simply not shown.
void Append(Group& messages, std::u16string_view text) {
    char16_t* copy = DuplicateText(text);
    if (copy == nullptr) return;
    if (!messages.Add(copy)) ReleaseText(copy);
}

void ReplaceCache(Group& messages, Log& log, DayTextSources& sources) {
    if (sources.DELETESTRINGSINREG())
        log.Write(u"WM_CREATE Returned from DELETESTRINGSINREG, Historical strings deleted.");
    else
        log.Write(u"WM_CREATE Returned from DELETESTRINGSINREG, Failed to delete historical strings.");
    if (sources.SAVESTRINGSINREG(messages))
        log.Write(u"WM_CREATE Returned from SAVESTRINGSINREG, Today's strings have been saved to the registry.");
    else
        log.Write(u"WM_CREATE Returned from SAVESTRINGSINREG, Could not save today's strings in the registry.");
}

// fetched: whether GETRSSFEED ran at all; when it did not, the line saying why stands alone.
// Returns how many of the day's texts the cache gave; an error text is none.
uint32_t FallBack(Group& messages, Log& log, DayTextSources& sources, bool fetched) {
    if (fetched) log.Write(u"WM_CREATE Returned from GETRSSFEED, No strings were pulled, we have a problem.");
    if (sources.COUNTSTRINGSINREG() < 1) {
        Append(messages, kNoDataText);
    } else if (sources.GETSTRINGSFROMREG(messages)) {
        log.Write(u"WM_CREATE Returned from GETSTRINGSFROMREG, with %lu strings.", messages.GetCount());
        return messages.GetCount();
    } else {
        Append(messages, kUnreadableCacheText);
    }
    return 0;
}

} // namespace

std::u16string_view FeedHostOf(const SaverSettings& settings, std::u16string_view defaultHost) {
    return settings.szFeedHost.empty() ? defaultHost : settings.szFeedHost;
}

std::u16string ComposeFeedUrl(const SaverSettings& settings, std::u16string_view defaultHost) {
    const SchemeSplit host = SplitScheme(FeedHostOf(settings, defaultHost));
    if (host.scheme == UrlScheme::Unknown) return {};
    std::u16string url = host.scheme == UrlScheme::Https ? u"https://" : u"http://";
    url += host.rest;
    url += u"/auth/";
    url += settings.szKeyCode;
    url += u".xml";
    // A cut key code would name someone else's feed.
    if (url.size() > kFeedUrlLimit) return {};
    return url;
}

uint32_t GatherDaysTexts(Group& messages, const SaverSettings& settings, News& news, Log& log,
                         DayTextSources& sources, std::u16string_view defaultHost) {
    const std::u16string url = ComposeFeedUrl(settings, defaultHost);
    news.gNewsString.clear();
    const std::u16string_view host = FeedHostOf(settings, defaultHost);
    if (SplitScheme(host).scheme == UrlScheme::Unknown) {
        log.Write(u"WM_CREATE Feed host |%s| names a scheme other than http:// or https://, not fetching.", host);
    } else if (url.empty()) {
        log.Write(u"WM_CREATE Feed address longer than %lu units (key code of %lu units), not fetching.",
                  kFeedUrlLimit, settings.szKeyCode.size());
    } else {
        sources.GETRSSFEED(messages, url, news);
        log.Write(u"WM_CREATE Returned from GETRSSFEED, %lu strings pulled.", messages.GetCount());
    }
    uint32_t dayTexts = messages.GetCount();
    if (dayTexts > 0) ReplaceCache(messages, log, sources);
    else dayTexts = FallBack(messages, log, sources, !url.empty());

    if (!settings.szCompany.empty()) Append(messages, settings.szCompany);
    if (settings.gLogoEnabled) Append(messages, u"");
    return dayTexts;
}

} // namespace tavelin
