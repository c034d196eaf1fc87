// GETRSSFEED over the scripted transport: the whole log of a good download,
// every failing step, the 10-byte rule, a body cut short or too long, and the
// deadline.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/scripted_http.h"
#include "feed/feed.h"
#include "unit/feed/feed_test_support.h"

namespace tavelin {
namespace {

using fakes::ScriptedHttp;
using testing_support::RecordingLog;
using Lines = std::vector<std::string>;
using Step = ScriptedHttp::Step;

constexpr std::u16string_view kUrl = u"http://feeds.example:8080/auth/KEY.xml?week=2";
const std::string kFeed =
    "<feed><news>Good news</news><item><word1>a</word1><word2>b</word2></item></feed>";

struct FeedTest : ::testing::Test {
    RecordingLog recording;
    ScriptedHttp http;
    Group messages;
    News news;

    ~FeedTest() override { testing_support::ReleaseAll(messages); }
    int Run(bool extra = false, uint32_t deadline = kDownloadDeadlineMs) {
        return GETRSSFEED(messages, kUrl, news, recording.log, http, extra, deadline);
    }
    Lines Log() const { return recording.Messages(); }
};

TEST_F(FeedTest, GoodDownloadLogsEveryStep) {
    http.body = kFeed;
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(testing_support::Texts(messages), Lines{"a:b"});
    EXPECT_EQ(ToUtf8(news.gNewsString), "Good news");
    EXPECT_TRUE(news.gNewsSet);
    EXPECT_EQ(http.userAgent, u"TavelinScreenSaver");
    EXPECT_EQ(http.path, u"/auth/KEY.xml");
    const Lines expected = {
        "GETRSSFEED WinHTTP Session Handle Returned, value=16",
        "GETRSSFEED URL Cracked Successfully.",
        "GETRSSFEED URL Hostname=|feeds.example|",
        "GETRSSFEED URL Resource=|/auth/KEY.xml|",
        "GETRSSFEED URL Port=|8080|",
        "GETRSSFEED WinHttpConnect succeeded, hConnect=32",
        "GETRSSFEED WinHttpOpenRequest succeeded, hRequest=48",
        "GETRSSFEED WinHttpSendRequest succeeded",
        "GETRSSFEED WinHttpReceiveResponse succeeded",
        "GETRSSFEED WinHttpReadData End of Data Transfer, size=" + std::to_string(kFeed.size()),
        "GETRSSFEED IsTextUnicode returned FALSE, This Is ASCII.",
        "POPULATEXMLTREE *** Starting ***",
        "GETRSSFEED Attempting to delete szMessage (Converted Source XML Buffer)",
        "GETRSSFEED Successfully deleted szMessage (Converted Source XML Buffer)",
        "GETRSSFEED ****TREE DUMP****",
        "  news:Good news",
        "  item:",
        "   word1:a",
        "   word2:b",
        "GETRSSFEED ****END TREE DUMP****",
        "GETRSSFEED News String=|Good news|",
        "GETRSSFEED Tavelin Processing, MORAVIKDATA=|a:b|",
        "GETRSSFEED Attempting Deletion of XML Tree Data...",
        "GETRSSFEED XML Tree Data Deleted.",
        "GETRSSFEED Attempting Deletion of XML Tree Objects...",
        "GETRSSFEED XML Tree Objects Deleted.",
        "GETRSSFEED WinHTTP Request Handle Closed Successfully",
        "GETRSSFEED WinHTTP Connect Handle Closed Successfully",
        "GETRSSFEED WinHTTP Session Handle Closed Successfully",
        "GETRSSFEED Attempting Deletion of hostname buffer.",
        "GETRSSFEED Attempting Deletion of target resource buffer.",
        "GETRSSFEED Leaving this function",
    };
    EXPECT_EQ(Log(), expected);
    EXPECT_EQ(http.closed, (std::vector<uintptr_t>{ScriptedHttp::kRequest, ScriptedHttp::kConnection,
                                                   ScriptedHttp::kSession}));
}

TEST_F(FeedTest, EachFailingStepLogsItsCodeClosesWhatWasOpenAndChangesNothing) {
    const uintptr_t s = ScriptedHttp::kSession, c = ScriptedHttp::kConnection, r = ScriptedHttp::kRequest;
    const struct {
        Step step;
        std::string line;
        std::vector<uintptr_t> closed;
    } cases[] = {
        {Step::Session, "GETRSSFEED Could not obtain WinHTTP Session Handle, Error Code = 12007", {}},
        {Step::Crack, "GETRSSFEED WinHttpCrackUrl failed, Error Code = 12007", {s}},
        {Step::Connect, "GETRSSFEED WinHttpConnect failed, Error Code = 12007", {s}},
        {Step::Request, "GETRSSFEED WinHttpOpenRequest failed, Error Code = 12007", {c, s}},
        {Step::Send, "GETRSSFEED WinHttpSendRequest failed, Error Code = 12007", {r, c, s}},
        {Step::Receive, "GETRSSFEED WinHttpReceiveResponse failed, Error Code = 12007", {r, c, s}},
        {Step::Read, "GETRSSFEED WinHttpReadData returned FALSE, Error Code = 12007", {r, c, s}},
    };
    for (const auto& k : cases) {
        RecordingLog log;
        ScriptedHttp failing;
        failing.body = kFeed;
        failing.failAt = k.step;
        failing.failError = 12007;
        failing.failReadAfter = 1; // a read failure discards what came before it
        failing.readSize = 16;
        Group group;
        News kept{u"cached news", true};
        EXPECT_EQ(GETRSSFEED(group, kUrl, kept, log.log, failing, true), 0) << k.line;
        EXPECT_EQ(log.Messages().back(), k.line);
        EXPECT_EQ(failing.closed, k.closed) << k.line;
        EXPECT_EQ(group.GetCount(), 0u);
        EXPECT_EQ(kept.gNewsString, u"cached news");
        EXPECT_TRUE(kept.gNewsSet);
    }
}

TEST_F(FeedTest, TheSchemeChoosesTlsAndTheDefaultPort) {
    const struct {
        std::u16string_view url;
        int result;
        bool secure;
        std::string line; // logged after the resource line, or the last line
    } cases[] = {
        {u"https://feeds.example/auth/KEY.xml", 1, true, "GETRSSFEED URL Port=|443|"},
        {u"https://feeds.example:8443/auth/KEY.xml", 1, true, "GETRSSFEED URL Port=|8443|"},
        {u"http://feeds.example/auth/KEY.xml", 1, false, "GETRSSFEED URL Port=|80|"},
        {u"ftp://feeds.example/auth/KEY.xml", 0, false, "GETRSSFEED WinHttpCrackUrl failed, Error Code = 12006"},
    };
    for (const auto& c : cases) {
        const std::string name = ToUtf8(c.url);
        ScriptedHttp h;
        h.body = kFeed;
        RecordingLog log;
        Group group;
        EXPECT_EQ(GETRSSFEED(group, c.url, news, log.log, h, false), c.result) << name;
        EXPECT_EQ(h.secure, c.secure) << name;
        const Lines lines = log.Messages();
        if (c.result == 0) {
            EXPECT_EQ(lines.back(), c.line) << name;
            EXPECT_EQ(h.closed, std::vector<uintptr_t>{ScriptedHttp::kSession}) << name;
        } else {
            ASSERT_GT(lines.size(), 4u) << name;
            EXPECT_EQ(lines[4], c.line) << name;
            EXPECT_EQ(testing_support::Texts(group), Lines{"a:b"}) << name;
        }
        testing_support::ReleaseAll(group);
    }
}

// A transport that cannot do TLS refuses an https address rather than fetch it in the clear.
TEST_F(FeedTest, NoPlainRequestStandsInForASecureOne) {
    struct WithoutTls : ScriptedHttp {
        HttpHandle OpenSecureRequest(HttpHandle c, std::u16string_view p) override {
            return HttpTransport::OpenSecureRequest(c, p);
        }
    } plain;
    plain.body = kFeed;
    RecordingLog log;
    EXPECT_EQ(GETRSSFEED(messages, u"https://feeds.example/auth/KEY.xml", news, log.log, plain, false), 0);
    EXPECT_TRUE(plain.path.empty());
    EXPECT_EQ(log.Messages().back().rfind("GETRSSFEED WinHttpOpenRequest failed, Error Code = ", 0), 0u);
    EXPECT_EQ(messages.GetCount(), 0u);
}

TEST_F(FeedTest, AFailedCloseIsLoggedAndChangesNoResult) {
    http.body = kFeed;
    http.failClose = {ScriptedHttp::kConnection};
    EXPECT_EQ(Run(), 1);
    const Lines log = Log();
    EXPECT_NE(std::find(log.begin(), log.end(), "GETRSSFEED Could not close WinHTTP Connect Handle, Error Code = 6"),
              log.end());
    EXPECT_EQ(log.back(), "GETRSSFEED Leaving this function");
    EXPECT_EQ(http.closed.size(), 3u);
}

TEST_F(FeedTest, NineBytesAreTooFewTenAreADocument) {
    http.body = "<a>123456";
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(Log().back(), "GETRSSFEED WinHttpReadData End of Data Transfer, size=9");
    EXPECT_EQ(http.closed.size(), 3u);
    ScriptedHttp ten;
    ten.body = "<a>1234567";
    RecordingLog log;
    EXPECT_EQ(GETRSSFEED(messages, kUrl, news, log.log, ten, false), 1);
    EXPECT_EQ(log.Messages().back(), "GETRSSFEED Leaving this function");
}

TEST_F(FeedTest, ABodyShorterThanItsAnnouncedLengthIsAReadFailure) {
    http.body = kFeed;
    http.announceLength = true;
    http.announcedLength = 1000;
    news.gNewsString = u"cached";
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(Log().back(), "GETRSSFEED WinHttpReadData returned FALSE, Error Code = 12030");
    EXPECT_EQ(messages.GetCount(), 0u);
    EXPECT_EQ(news.gNewsString, u"cached");
    // The whole announced length is a document.
    ScriptedHttp whole;
    whole.body = kFeed;
    whole.announceLength = true;
    whole.announcedLength = kFeed.size();
    RecordingLog log;
    EXPECT_EQ(GETRSSFEED(messages, kUrl, news, log.log, whole, false), 1);
}

// 8 MiB is a feed; one byte more is refused, announced before any read or
// grown without a length, and nothing that came is kept.
TEST_F(FeedTest, ABodyOverEightMebibytesIsRefused) {
    const std::string head = "<f><item><word1>a</word1><word2>b</word2></item><pad>";
    const struct {
        size_t size;
        bool announced;
        int result;
        int reads;
    } cases[] = {
        {kBodyLimitBytes, true, 1, 8193},
        {kBodyLimitBytes + 1, true, 0, 0},
        {kBodyLimitBytes, false, 1, 8193},
        {kBodyLimitBytes + 1, false, 0, 8193},
        {kBodyLimitBytes + 100000, false, 0, 8193},
    };
    for (const auto& c : cases) {
        ScriptedHttp h;
        h.body = head + std::string(c.size - head.size(), 'x');
        h.announceLength = c.announced;
        h.announcedLength = c.size;
        RecordingLog log;
        Group group;
        News kept{u"cached news", true};
        EXPECT_EQ(GETRSSFEED(group, kUrl, kept, log.log, h, false), c.result) << c.size;
        EXPECT_EQ(h.reads, c.reads) << c.size << " announced " << c.announced;
        EXPECT_EQ(h.closed.size(), 3u);
        if (c.result == 1) {
            EXPECT_EQ(testing_support::Texts(group), Lines{"a:b"});
        } else {
            EXPECT_EQ(log.Messages().back(), "GETRSSFEED WinHttpReadData returned FALSE, Error Code = 8");
            EXPECT_EQ(group.GetCount(), 0u);
            EXPECT_EQ(kept.gNewsString, u"cached news");
        }
        testing_support::ReleaseAll(group);
    }
}

TEST_F(FeedTest, TheDeadlineEndsASlowBodyAndShortensEveryWait) {
    http.body = std::string(20000, 'x');
    http.ticksPerRead = 4000;
    EXPECT_EQ(Run(false, 30000), 0);
    EXPECT_EQ(Log().back(), "GETRSSFEED WinHttpReadData returned FALSE, Error Code = 12002");
    EXPECT_EQ(http.reads, 8); // the read that returned past 30 s ends the call
    ASSERT_GE(http.waitLimits.size(), 3u);
    EXPECT_EQ(http.waitLimits[0], 30000u); // send
    EXPECT_EQ(http.waitLimits.back(), 2000u);
}

TEST_F(FeedTest, LoggingOffGivesTheSameResult) {
    http.body = kFeed;
    recording.log.gLogEnabled = false;
    EXPECT_EQ(Run(true), 1);
    EXPECT_EQ(testing_support::Texts(messages), Lines{"a:b"});
    EXPECT_EQ(ToUtf8(news.gNewsString), "Good news");
    EXPECT_TRUE(Log().empty());
}

TEST_F(FeedTest, Utf16AndBomBodiesGiveTheSameTexts) {
    const std::string utf8 = "<f><item><word1>\xC3\xA9t\xC3\xA9</word1><word2>summer</word2></item></f>";
    std::string utf16 = "\xFF\xFE";
    for (char16_t u : FromUtf8(utf8)) {
        utf16 += static_cast<char>(u & 0xFF);
        utf16 += static_cast<char>(u >> 8);
    }
    for (const std::string& body : {utf8, "\xEF\xBB\xBF" + utf8, utf16}) {
        ScriptedHttp h;
        h.body = body;
        Group group;
        RecordingLog log;
        EXPECT_EQ(GETRSSFEED(group, kUrl, news, log.log, h, false), 1);
        EXPECT_EQ(testing_support::Texts(group), Lines{"été:summer"});
        testing_support::ReleaseAll(group);
    }
}

} // namespace
} // namespace tavelin
