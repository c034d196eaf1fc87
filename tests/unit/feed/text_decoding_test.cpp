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

// The units the decoder writes for the bytes and their terminating zero.
std::u16string Decode(const std::string& bytes) {
    std::vector<char16_t> out(bytes.size() + 1);
    const size_t n = PortableUtf8ToUtf16(reinterpret_cast<const unsigned char*>(bytes.c_str()), bytes.size() + 1,
                                         out.data());
    return std::u16string(out.data(), n);
}

std::u16string Terminated(std::u16string_view text) { return std::u16string(text) + u'\0'; }

// The rules are the platform conversion's, as observed under Wine.
TEST(TextDecoding, Utf8DecoderReplacesBrokenSequencesAsThePlatformDoes) {
    const struct {
        const char* what;
        std::string bytes;
        std::u16string units;
    } cases[] = {
        {"ASCII, longer than a word", "<feed>abcdefghij</feed>", Terminated(u"<feed>abcdefghij</feed>")},
        {"two, three and four bytes", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", Terminated(u"é€\U0001F600")},
        {"highest scalar", "\xF4\x8F\xBF\xBF", Terminated(u"\U0010FFFF")},
        {"byte-order mark kept", "\xEF\xBB\xBF<a/>", Terminated(u"\uFEFF<a/>")},
        {"stops at a zero byte", std::string("ab\0cd", 5), Terminated(u"ab")},
        {"lone continuation", "a\x80z", Terminated(u"a\uFFFDz")},
        {"bytes that start nothing", "\xC0\x80\xFE\xF5", Terminated(u"\uFFFD\uFFFD\uFFFD\uFFFD")},
        {"out-of-range second byte goes with its lead", "\xE0\x80\x80", Terminated(u"\uFFFD\uFFFD")},
        {"encoded surrogate", "\xED\xA0\x80", Terminated(u"\uFFFD\uFFFD")},
        {"past U+10FFFF", "\xF4\x90\x80\x80", Terminated(u"\uFFFD\uFFFD\uFFFD")},
        {"non-continuation second byte", "\xC3(", Terminated(u"\uFFFD(")},
        {"cut before ASCII", "\xF0\x9F\x98" "A", Terminated(u"\uFFFDA")},
        {"cut before a lead", "\xE2\xC3\xA9", Terminated(u"\uFFFDé")},
        {"cut by the zero byte", "\xE2\x82", Terminated(u"\uFFFD")},
        {"a lead too near the end swallows the rest", "x\xF0\x41", u"x\uFFFD"},
        {"even the zero byte", "\xE2", u"\uFFFD"},
    };
    for (const auto& c : cases) EXPECT_EQ(Decode(c.bytes), c.units) << c.what;
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
    const std::string swallowed = std::string("<a>x\xF0") + std::string(2, '\0');
    t = DecodeFeedBytes(reinterpret_cast<const unsigned char*>(swallowed.data()), 5, http, recording.log);
    EXPECT_EQ(std::u16string(t.szMessage.get(), t.length), u"<a>x\uFFFD");
    EXPECT_EQ(t.szMessage[t.length], u'\0');
    EXPECT_EQ(recording.Messages(), (std::vector<std::string>{"GETRSSFEED IsTextUnicode returned TRUE, This Is Unicode.",
                                                              "GETRSSFEED IsTextUnicode returned FALSE, This Is ASCII.",
                                                              "GETRSSFEED IsTextUnicode returned FALSE, This Is ASCII."}));
}

} // namespace
} // namespace tavelin
