// The feed file goes through GETRSSFEED itself over an in-memory transport, so
// every rule of the saver applies: the 10-byte minimum, UTF-16LE or UTF-8
// decoding, the forgiving reader, the news and item extraction.
#include "feed_lines.h"

#include "core/group.h"
#include "core/log.h"
#include "core/news.h"
#include "core/ports.h"
#include "core/text.h"
#include "feed/feed.h"
#include "file_transport.h"

namespace tavelin {
namespace {

// The log stays off; these only satisfy its constructor.
class NoLogFile : public LogFile {
public:
    LogFileHandle Create(std::u16string_view) override { return nullptr; }
    bool Append(LogFileHandle, const void*, size_t) override { return false; }
};

class NoClock : public Clock {
public:
    LocalTime LocalNow() override { return {}; }
    uint16_t UtcMilliseconds() override { return 0; }
    uint32_t TickCount() override { return 0; }
};

// The message group's texts, in order, released as they are taken out.
std::vector<std::u16string> TakeTexts(Group& messages) {
    std::vector<std::u16string> texts;
    texts.reserve(messages.GetCount());
    while (messages.GetCount() > 0) {
        const auto* text = static_cast<const char16_t*>(messages.RemoveAt(0));
        texts.emplace_back(text);
        ReleaseText(text);
    }
    return texts;
}

bool IsSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDFFF; }
bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

} // namespace

FeedLines ReadFeedLines(std::string_view bytes, bool gExtraEnabled) {
    NoLogFile files;
    NoClock clock;
    Log log(files, clock);
    FileTransport http(bytes);
    Group messages;
    News news;
    FeedLines result;
    result.accepted = GETRSSFEED(messages, u"http://feed.file/auth/file.xml", news, log, http, gExtraEnabled) == 1;
    if (news.gNewsSet) result.news = news.gNewsString;
    result.lines = TakeTexts(messages);
    return result;
}

std::string PrintableUtf8(std::u16string_view text, bool& altered) {
    std::u16string shown;
    shown.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c < 0x20 || c == 0x7F) {
            shown += static_cast<char16_t>(c == 0x7F ? 0x2421 : 0x2400 + c);
            altered = true;
        } else if (IsHigh(c) && i + 1 < text.size() && IsLow(text[i + 1])) {
            shown += c;
            shown += text[++i];
        } else {
            if (IsSurrogate(c)) altered = true;
            shown += c; // ToUtf8 writes a lone surrogate as U+FFFD
        }
    }
    return ToUtf8(shown);
}

} // namespace tavelin
