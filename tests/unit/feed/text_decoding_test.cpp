// Bytes to text: the portable UTF-8 decoder on valid and broken input, the
// portable Unicode test, and the choice between UTF-16LE and UTF-8.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/scripted_http.h"
#include "feed/text_decoding.h"
#include "unit/feed/feed_test_support.h"

namespace tavelin {
namespace {

std::u16string Decode(const std::string& bytes) {
    std::vector<char16_t> out(bytes.size() + 1);
    const size_t n = PortableUtf8ToUtf16(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), out.data());
    EXPECT_EQ(out[n - 1], u'\0');
    return std::u16string(out.data(), n - 1);
}

TEST(TextDecoding, Utf8DecoderReplacesEachBrokenSubsequenceOnce) {
    const struct {
        const char* what;
        std::string bytes;
        std::u16string text;
    } cases[] = {
        {"ASCII, longer than a word", "<feed>abcdefghij</feed>", u"<feed>abcdefghij</feed>"},
        {"two, three and four bytes", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", u"é€\U0001F600"},
        {"byte-order mark kept", "\xEF\xBB\xBF<a/>", u"\uFEFF<a/>"},
        {"stops at a zero byte", std::string("ab\0cd", 5), u"ab"},
        {"lone continuation", "a\x80z", u"a\uFFFDz"},
        {"overlong two-byte", "\xC0\x80", u"\uFFFD\uFFFD"},
        {"overlong three-byte", "\xE0\x80\x80", u"\uFFFD\uFFFD\uFFFD"},
        {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
        {"past U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"five-byte form", "\xF8\x88\x80\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"truncated at the end", "\xE2\x82", u"\uFFFD"},
        {"truncated before ASCII", "\xF0\x9F\x98" "A", u"\uFFFDA"},
        {"truncated before a lead", "\xE2\xC3\xA9", u"\uFFFDé"},
        {"never-valid bytes", "\xFE\xFF", u"\uFFFD\uFFFD"},
        {"highest scalar", "\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
    };
    for (const auto& c : cases) EXPECT_EQ(Decode(c.bytes), c.text) << c.what;
}

TEST(TextDecoding, UnicodeTestSendsUtf8AndAsciiToUtf8) {
    const struct {
        std::string bytes;
        bool unicode;
    } cases[] = {
        {"\xFF\xFE<\0", true},
        {std::string("<\0f\0", 4), true},
        {"<?xml version=\"1.0\"?>", false},
        {"\xEF\xBB\xBF<feed>", false},
        {"\xC3\xA9t\xC3\xA9", false},
        {std::string("\0<", 2), false},
        {"<", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PortableIsTextUnicode(reinterpret_cast<const unsigned char*>(c.bytes.data()), c.bytes.size()),
                  c.unicode)
            << c.bytes;
    }
}

TEST(TextDecoding, PicksUtf16LeOrUtf8AndLogsWhich) {
    testing_support::RecordingLog recording;
    fakes::ScriptedHttp http;
    // UTF-16LE with an odd trailing byte, followed by the two terminating zeros.
    const std::string utf16("\xFF\xFE<\0a\0>\0\xE9\0!\0\0", 13);
    DecodedText t = DecodeFeedBytes(reinterpret_cast<const unsigned char*>(utf16.data()), 11, http, recording.log);
    EXPECT_EQ(std::u16string(t.szMessage.get(), t.length), u"\uFEFF<a>é");
    const std::string utf8 = std::string("<a>\xC3\xA9</a>\0\0", 12);
    t = DecodeFeedBytes(reinterpret_cast<const unsigned char*>(utf8.data()), 10, http, recording.log);
    EXPECT_EQ(std::u16string(t.szMessage.get(), t.length), u"<a>é</a>");
    EXPECT_EQ(recording.Messages(), (std::vector<std::string>{"GETRSSFEED IsTextUnicode returned TRUE, This Is Unicode.",
                                                              "GETRSSFEED IsTextUnicode returned FALSE, This Is ASCII."}));
}

} // namespace
} // namespace tavelin
