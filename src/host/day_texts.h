// The day's texts gathered at window creation: the feed, or the day cache,
// or an error text; then the company text and the logo placeholder.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/group.h"
#include "core/log.h"
#include "core/news.h"
#include "core/settings_values.h"

namespace tavelin {

// The feed download and the day cache, as the gathering calls them.
class DayTextSources {
public:
    virtual ~DayTextSources() = default;
    virtual int32_t GETRSSFEED(Group& messages, std::u16string_view url, News& news) = 0;
    virtual bool DELETESTRINGSINREG() = 0;
    virtual bool SAVESTRINGSINREG(Group& messages) = 0;
    virtual int32_t COUNTSTRINGSINREG() = 0;
    virtual bool GETSTRINGSFROMREG(Group& messages) = 0;
};

inline constexpr std::u16string_view kNoDataText =
    u"TavelinScreensaver Error: No data.  I could not connect to the internet for data, and there was no "
    u"data saved in the registry to load.";
inline constexpr std::u16string_view kUnreadableCacheText =
    u"TavelinScreensaver Error: No data.  I could not connect to the internet for data, and I failed to "
    u"load data from the registry, even though I counted some data.";

// The longest feed address: a buffer of 1,024 units with its terminator.
inline constexpr size_t kFeedUrlLimit = 1023;

// FeedHost when set, else defaultHost.
std::u16string_view FeedHostOf(const SaverSettings& settings, std::u16string_view defaultHost);

// "http://" + host + "/auth/" + key code + ".xml", or "https://" when the host
// begins with it; a leading "http://" is the same as none. Empty when the host
// names any other scheme or the address would not fit its buffer.
std::u16string ComposeFeedUrl(const SaverSettings& settings, std::u16string_view defaultHost);

// Fills the empty message group in showing order and the news text. Returns how
// many texts at its head are the day's words (from the feed or the day cache).
uint32_t GatherDaysTexts(Group& messages, const SaverSettings& settings, News& news, Log& log,
                     DayTextSources& sources, std::u16string_view defaultHost);

} // namespace tavelin
