// The day's texts: feed, cache or error text, then company and logo, with the log.
#include <gtest/gtest.h>

#include "core/text.h"
#include "fakes/fake_clock.h"
#include "fakes/memory_log_file.h"
#include "host/day_texts.h"

namespace tavelin {
namespace {

using fakes::FakeClock;
using fakes::MemoryLogFile;

struct FakeSources : DayTextSources {
    std::vector<std::u16string> feed; // what the feed delivers
    std::u16string news;
    std::vector<std::u16string> cache;
    bool cacheReadable = true;
    bool deleteWorks = true;
    bool saveWorks = true;
    std::vector<std::u16string> urls;
    std::vector<std::string> calls;

    int32_t GETRSSFEED(Group& messages, std::u16string_view url, News& n) override {
        calls.push_back("feed");
        urls.emplace_back(url);
        for (const auto& t : feed) messages.Add(DuplicateText(t));
        if (!news.empty()) {
            n.gNewsString = news;
            n.gNewsSet = true;
        }
        return feed.empty() ? 0 : 1;
    }
    bool DELETESTRINGSINREG() override {
        calls.push_back("delete");
        if (deleteWorks) cache.clear();
        return deleteWorks;
    }
    bool SAVESTRINGSINREG(Group& messages) override {
        calls.push_back("save");
        if (!saveWorks) return false;
        for (uint32_t i = 0; i < messages.GetCount(); ++i)
            cache.emplace_back(static_cast<const char16_t*>(messages.GetAt(i)));
        return true;
    }
    int32_t COUNTSTRINGSINREG() override {
        calls.push_back("count");
        return static_cast<int32_t>(cache.size());
    }
    bool GETSTRINGSFROMREG(Group& messages) override {
        calls.push_back("get");
        if (!cacheReadable) return false;
        for (const auto& t : cache) messages.Add(DuplicateText(t));
        return true;
    }
};

struct DayTextsTest : ::testing::Test {
    MemoryLogFile files;
    FakeClock clock;
    Log log{files, clock};
    Group messages;
    News news;
    SaverSettings settings;
    FakeSources sources;
    uint32_t dayTexts = 99; // of the last Gather

    void SetUp() override {
        log.gLogEnabled = true;
        log.Open();
        settings.szKeyCode = u"K3Y";
    }
    void TearDown() override {
        while (messages.GetCount() > 0) ReleaseText(static_cast<char16_t*>(messages.RemoveAt(0)));
    }
    std::vector<std::u16string> Gather() {
        dayTexts = GatherDaysTexts(messages, settings, news, log, sources, u"feeds.example");
        std::vector<std::u16string> out;
        for (uint32_t i = 0; i < messages.GetCount(); ++i)
            out.emplace_back(static_cast<const char16_t*>(messages.GetAt(i)));
        return out;
    }
    std::vector<std::u16string> Logged() {
        auto m = MemoryLogFile::Messages(*files.Only());
        m.erase(m.begin()); // CREATELOGFILE,TIMESTAMP START
        return m;
    }
};

TEST_F(DayTextsTest, FeedAddressUsesFeedHostOrTheDefault) {
    Gather();
    settings.szFeedHost = u"127.0.0.1:8080";
    settings.szKeyCode.clear();
    TearDown();
    Gather();
    EXPECT_EQ(sources.urls, (std::vector<std::u16string>{u"http://feeds.example/auth/K3Y.xml",
                                                         u"http://127.0.0.1:8080/auth/.xml"}));
}

// The scheme comes from FeedHost or the build's default; an unknown one is never fetched.
TEST_F(DayTextsTest, FeedHostSchemeChoosesTheAddress) {
    const struct {
        std::u16string feedHost, defaultHost;
        std::u16string url; // empty: no fetch, the cached day
    } cases[] = {
        {u"https://feeds.example.org", u"feeds.example", u"https://feeds.example.org/auth/K3Y.xml"},
        {u"HTTPS://localhost:8443", u"feeds.example", u"https://localhost:8443/auth/K3Y.xml"},
        {u"", u"https://feeds.example", u"https://feeds.example/auth/K3Y.xml"},
        {u"http://127.0.0.1:8080", u"feeds.example", u"http://127.0.0.1:8080/auth/K3Y.xml"},
        {u"127.0.0.1:8080", u"https://feeds.example", u"http://127.0.0.1:8080/auth/K3Y.xml"},
        {u"ftp://feeds.example.org", u"feeds.example", u""},
        {u"", u"gopher://feeds.example", u""},
    };
    for (const auto& c : cases) {
        const std::string name = ToUtf8(c.feedHost + u"|" + c.defaultHost);
        MemoryLogFile caseFiles;
        Log caseLog{caseFiles, clock};
        caseLog.gLogEnabled = true;
        caseLog.Open();
        FakeSources caseSources;
        caseSources.cache = {u"cached"};
        settings.szFeedHost = c.feedHost;
        Group group;
        GatherDaysTexts(group, settings, news, caseLog, caseSources, c.defaultHost);
        ASSERT_EQ(group.GetCount(), 1u) << name;
        EXPECT_EQ(std::u16string(static_cast<const char16_t*>(group.GetAt(0))), u"cached") << name;
        ReleaseText(static_cast<char16_t*>(group.RemoveAt(0)));
        if (!c.url.empty()) {
            EXPECT_EQ(caseSources.urls, std::vector<std::u16string>{c.url}) << name;
            continue;
        }
        EXPECT_TRUE(caseSources.urls.empty()) << name;
        const std::u16string host = c.feedHost.empty() ? c.defaultHost : c.feedHost;
        EXPECT_EQ(MemoryLogFile::Messages(*caseFiles.Only())[1],
                  u"WM_CREATE Feed host |" + host + u"| names a scheme other than http:// or https://, not fetching.")
            << name;
    }
}

TEST_F(DayTextsTest, FeedWithItemsReplacesTheCacheBeforeCompanyAndLogo) {
    sources.feed = {u"casa:house", u"gato:cat"};
    sources.cache = {u"old"};
    settings.szCompany = u"Acme";
    settings.gLogoEnabled = true;
    EXPECT_EQ(Gather(), (std::vector<std::u16string>{u"casa:house", u"gato:cat", u"Acme", u""}));
    EXPECT_EQ(dayTexts, 2u); // the company line and the logo are no words of the day
    EXPECT_EQ(sources.cache, (std::vector<std::u16string>{u"casa:house", u"gato:cat"}));
    EXPECT_EQ(sources.calls, (std::vector<std::string>{"feed", "delete", "save"}));
    EXPECT_EQ(Logged(), (std::vector<std::u16string>{
                            u"WM_CREATE Returned from GETRSSFEED, 2 strings pulled.",
                            u"WM_CREATE Returned from DELETESTRINGSINREG, Historical strings deleted.",
                            u"WM_CREATE Returned from SAVESTRINGSINREG, Today's strings have been saved to the registry.",
                        }));
}

TEST_F(DayTextsTest, CacheFailuresAreLoggedAndChangeNothingElse) {
    sources.feed = {u"a:b"};
    sources.deleteWorks = false;
    sources.saveWorks = false;
    EXPECT_EQ(Gather(), std::vector<std::u16string>{u"a:b"});
    const auto logged = Logged();
    EXPECT_EQ(logged[1], u"WM_CREATE Returned from DELETESTRINGSINREG, Failed to delete historical strings.");
    EXPECT_EQ(logged[2], u"WM_CREATE Returned from SAVESTRINGSINREG, Could not save today's strings in the registry.");
}

TEST_F(DayTextsTest, NoFeedAndNoCacheGivesTheFirstErrorText) {
    settings.szCompany = u"Acme";
    settings.gLogoEnabled = true;
    EXPECT_EQ(Gather(), (std::vector<std::u16string>{std::u16string(kNoDataText), u"Acme", u""}));
    EXPECT_EQ(dayTexts, 0u);
    EXPECT_NE(kNoDataText.find(u"No data.  I could"), std::u16string_view::npos);
    EXPECT_EQ(sources.calls, (std::vector<std::string>{"feed", "count"}));
    EXPECT_EQ(Logged()[1], u"WM_CREATE Returned from GETRSSFEED, No strings were pulled, we have a problem.");
}

TEST_F(DayTextsTest, NoFeedAndACacheOfFive) {
    sources.cache = {u"1", u"2", u"3", u"4", u"5"};
    settings.szCompany = u"Acme";
    EXPECT_EQ(Gather(), (std::vector<std::u16string>{u"1", u"2", u"3", u"4", u"5", u"Acme"}));
    EXPECT_EQ(dayTexts, 5u);
    EXPECT_EQ(Logged().back(), u"WM_CREATE Returned from GETSTRINGSFROMREG, with 5 strings.");
    EXPECT_EQ(sources.cache.size(), 5u); // neither deleted nor written
    EXPECT_EQ(sources.calls, (std::vector<std::string>{"feed", "count", "get"}));
}

TEST_F(DayTextsTest, UnreadableCacheGivesTheSecondErrorText) {
    sources.cache = {u"1"};
    sources.cacheReadable = false;
    EXPECT_EQ(Gather(), std::vector<std::u16string>{std::u16string(kUnreadableCacheText)});
    EXPECT_EQ(dayTexts, 0u);
}

TEST_F(DayTextsTest, NewsFromTheFeedAndOldNewsCleared) {
    news.gNewsString = u"stale";
    Gather();
    EXPECT_EQ(news.gNewsString, u"");
    sources.feed = {u"a:b"};
    sources.news = u"Hello world";
    TearDown();
    Gather();
    EXPECT_EQ(news.gNewsString, u"Hello world");
    EXPECT_TRUE(news.gNewsSet);
}

TEST_F(DayTextsTest, KeyCodeTooLongForTheAddressSkipsTheFetch) {
    // "http://" 7 + "feeds.example" 13 + "/auth/" 6 + ".xml" 4 = 30 units around the key code.
    settings.szKeyCode = std::u16string(1023 - 30, u'k');
    sources.cache = {u"cached"};
    EXPECT_EQ(Gather(), std::vector<std::u16string>{u"cached"});
    ASSERT_EQ(sources.urls.size(), 1u);
    EXPECT_EQ(sources.urls[0].size(), 1023u);

    TearDown();
    sources.urls.clear();
    settings.szKeyCode += u'k';
    EXPECT_EQ(Gather(), std::vector<std::u16string>{u"cached"});
    EXPECT_TRUE(sources.urls.empty());
    // No line names the fetch that was not made; the cache path follows as after an empty feed.
    const auto logged = Logged();
    EXPECT_EQ(std::vector<std::u16string>(logged.begin() + 3, logged.end()),
              (std::vector<std::u16string>{
                  u"WM_CREATE Feed address longer than 1023 units (key code of 994 units), not fetching.",
                  u"WM_CREATE Returned from GETSTRINGSFROMREG, with 1 strings.",
              }));
}

TEST_F(DayTextsTest, TextsThatCannotBeQueuedAreDropped) {
    settings.szCompany = u"Acme";
    settings.gLogoEnabled = true;
    messages.SetAllocationGate([](void*) { return false; }, nullptr);
    EXPECT_TRUE(Gather().empty()); // and ASan sees no leak of the copies
}

} // namespace
} // namespace tavelin
