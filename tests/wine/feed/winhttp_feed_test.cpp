// The feed download through WinHTTP against the loopback server: what the
// server saw, status and encodings, tiny, cut, reset, silent and dripping
// bodies and headers; and the portable UTF-8 decoder against MultiByteToWideChar.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "feed/text_decoding.h"
#include "wine/feed/fetched.h"

namespace tavelin {
namespace {

std::u16string Url(const std::string& path, const char* port = std::getenv("TAVELIN_TEST_PORT")) {
    return FromUtf8("http://127.0.0.1:" + std::string(port != nullptr ? port : "0") + path);
}

TEST(WinHttpFeed, ServerSeesThePathAloneAndTheUserAgent) {
    ASSERT_NE(std::getenv("TAVELIN_TEST_PORT"), nullptr);
    const Fetched f = Fetch(Url("/echo/auth/KEY.xml?week=2#top"));
    ASSERT_EQ(f.result, 1);
    ASSERT_EQ(f.texts.size(), 2u);
    EXPECT_EQ(f.texts[0], "GET /echo/auth/KEY.xml HTTP/1.1:TavelinScreenSaver");
    EXPECT_EQ(f.texts[1], "headers:Connection,Host,User-Agent"); // nothing of our own
    EXPECT_TRUE(Logged(f, "GETRSSFEED URL Resource=|/echo/auth/KEY.xml|"));
}

TEST(WinHttpFeed, EncodingsGiveTheSameTexts) {
    const Lines expected = {"été:summer, noun", "дом:house"};
    for (const char* path : {"/feed.xml", "/bom.xml", "/utf16.xml"}) {
        const Fetched f = Fetch(Url(path));
        EXPECT_EQ(f.result, 1) << path;
        EXPECT_EQ(f.texts, expected) << path;
        const bool utf16 = std::string(path) == "/utf16.xml";
        EXPECT_TRUE(Logged(f, utf16 ? "GETRSSFEED IsTextUnicode returned TRUE, This Is Unicode."
                                    : "GETRSSFEED IsTextUnicode returned FALSE, This Is ASCII."))
            << path;
    }
}

TEST(WinHttpFeed, AnErrorPageIsParsedLikeAFeed) {
    const Fetched f = Fetch(Url("/404"));
    EXPECT_EQ(f.result, 1);
    EXPECT_EQ(f.texts, Lines{"nicht:gefunden"});
}

TEST(WinHttpFeed, NineBytesAreTooFewTenAreADocument) {
    const Fetched nine = Fetch(Url("/nine"));
    EXPECT_EQ(nine.result, 0);
    EXPECT_EQ(nine.log.back(), "GETRSSFEED WinHttpReadData End of Data Transfer, size=9");
    EXPECT_EQ(Fetch(Url("/ten")).result, 1);
}

TEST(WinHttpFeed, FailuresKeepTheCacheAndTheNews) {
    const struct {
        std::u16string url;
        std::string line; // the start of the last log line
    } cases[] = {
        {Url("/feed.xml", "1"), "GETRSSFEED WinHttpSendRequest failed, Error Code = 12029"},
        // The server resets only after the client has read the headers and the
        // body's first bytes, so the reset always lands in the middle of the body.
        {Url("/reset"), "GETRSSFEED WinHttpReadData returned FALSE, Error Code = "},
        {Url("/short"), "GETRSSFEED WinHttpReadData returned FALSE, Error Code = "},
    };
    for (const auto& c : cases) {
        const Fetched f = Fetch(c.url);
        EXPECT_EQ(f.result, 0) << c.line;
        EXPECT_TRUE(f.texts.empty()) << c.line;
        EXPECT_EQ(f.news, "cached news");
        EXPECT_EQ(f.log.back().substr(0, c.line.size()), c.line);
    }
}

TEST(WinHttpFeed, ASilentServerEndsWithinTheDeadline) {
    const Fetched f = Fetch(Url("/silent"));
    EXPECT_EQ(f.result, 0);
    EXPECT_LT(f.seconds, 35.0);
    EXPECT_EQ(f.log.back(), "GETRSSFEED WinHttpReceiveResponse failed, Error Code = 12002");
    std::cout << "silent server: " << f.seconds << " s\n";
}

// A server that sends a byte now and then, within every single time-out, still
// loses the download at the deadline, whether it drips the headers or the body.
TEST(WinHttpFeed, DrippingServersEndAtTheDeadline) {
    const struct {
        const char* path;
        std::vector<std::string> lines; // the last log line may be any of these
    } cases[] = {
        {"/drip", {"GETRSSFEED WinHttpReadData returned FALSE, Error Code = 12002"}},
        // Wine's synchronous send already waits for the headers; Windows' receive does.
        {"/dripheaders",
         {"GETRSSFEED WinHttpSendRequest failed, Error Code = 12002",
          "GETRSSFEED WinHttpReceiveResponse failed, Error Code = 12002"}},
    };
    for (const auto& c : cases) {
        const Fetched f = Fetch(Url(c.path), 3000);
        EXPECT_EQ(f.result, 0) << c.path;
        EXPECT_LT(f.seconds, 6.0) << c.path;
        EXPECT_THAT(c.lines, testing::Contains(f.log.back())) << c.path;
        std::cout << c.path << ": " << f.seconds << " s\n";
    }
}

// --- The portable UTF-8 decoder against the platform's ---

std::vector<std::string> DecoderInputs() {
    std::vector<std::string> inputs = {
        "plain", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\x80", "\xBF", "\xC0\x80", "\xC1\xBF",
        "\xC2", "\xC2" "A", "\xE0\x80\x80", "\xE0\x9F\xBF", "\xE0\xA0\x80", "\xED\x9F\xBF", "\xED\xA0\x80",
        "\xED\xBF\xBF", "\xEE\x80\x80", "\xEF\xBF\xBF", "\xEF\xBB\xBF<a/>", "\xF0\x80\x80\x80",
        "\xF0\x8F\xBF\xBF", "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80",
        "\xF8\x88\x80\x80\x80", "\xFC\x84\x80\x80\x80\x80", "\xFE", "\xFF", "\xE2\x82", "\xF0\x9F\x98",
        "\xE2\xC3\xA9", "\xF0\x9F" "AB", "a\x80\x80\x80z", "\xC3\xA9\x80", "\xED\xA0\x80\xED\xB0\x80",
    };
    // Every corpus file of the fuzz target.
    const std::filesystem::path source = std::filesystem::path(__FILE__).parent_path();
    const std::filesystem::path corpus = "Z:" + source.string() + "/../../fuzz/corpus/feed";
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(corpus, error)) {
        std::ifstream in(entry.path(), std::ios::binary);
        inputs.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    // And short random strings biased to the bytes that start and continue sequences.
    uint32_t state = 12345;
    const auto next = [&state] { return (state = state * 214013 + 2531011) >> 16; };
    const unsigned char pool[] = {0x41, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xC2, 0xDF, 0xE0,
                                  0xE1, 0xED, 0xEF, 0xF0, 0xF1, 0xF4, 0xF5, 0xFF, 0x3C};
    for (int i = 0; i < 20000; ++i) {
        std::string s(1 + next() % 8, '\0');
        for (char& c : s) c = static_cast<char>(pool[next() % sizeof pool]);
        inputs.push_back(s);
    }
    return inputs;
}

TEST(WinHttpFeed, PortableUtf8DecoderMatchesTheSystem) {
    win32::WinHttpTransport http;
    const std::vector<std::string> inputs = DecoderInputs();
    EXPECT_GT(inputs.size(), 20040u) << "the corpus was not found";
    int mismatches = 0;
    for (const std::string& input : inputs) {
        std::string bytes = input + std::string(2, '\0');
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
        std::vector<char16_t> mine(bytes.size() + 2), theirs(bytes.size() + 2);
        const size_t a = PortableUtf8ToUtf16(p, bytes.size(), mine.data());
        const size_t b = http.Utf8ToUtf16(p, theirs.data(), theirs.size());
        const bool same = a == b && std::u16string_view(mine.data(), a) == std::u16string_view(theirs.data(), b);
        if (!same && ++mismatches <= 10) {
            std::string hex;
            for (unsigned char c : input.substr(0, 16)) hex += "0123456789ABCDEF"[c >> 4], hex += "0123456789ABCDEF"[c & 15], hex += ' ';
            std::string got;
            for (size_t i = 0; i < b; ++i) got += std::to_string(static_cast<unsigned>(theirs[i])) + " ";
            std::string ours;
            for (size_t i = 0; i < a; ++i) ours += std::to_string(static_cast<unsigned>(mine[i])) + " ";
            ADD_FAILURE() << "input " << hex << "\n system:   " << got << "\n portable: " << ours;
        }
    }
    EXPECT_EQ(mismatches, 0);
}

} // namespace
} // namespace tavelin
