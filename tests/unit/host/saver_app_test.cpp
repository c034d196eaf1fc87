// The program as a whole over doubles of every port: a full-screen run from
// the command line to WM_DESTROY, with feed, day cache, settings and log.
#include <gtest/gtest.h>

#include "core/text.h"
#include "fake_entry_ops.h"
#include "fake_window_ops.h"
#include "fakes/fake_clock.h"
#include "fakes/memory_log_file.h"
#include "fakes/memory_registry.h"
#include "fakes/recording_surface.h"
#include "fakes/scripted_http.h"
#include "host/saver_app.h"
#include "host/saver_messages.h"

namespace tavelin {
namespace {

using namespace fakes;

constexpr char kFeed[] =
    "<feed><news>Markets calm</news>"
    "<item><word1>casa</word1><word2>house</word2></item>"
    "<item><word1>perro</word1><word2>dog</word2></item>"
    "<item><word1>gato</word1><word2>cat</word2></item></feed>";

struct SaverAppTest : ::testing::Test {
    MemoryLogFile files;
    FakeClock clock;
    MemoryRegistry registry;
    ScriptedHttp http;
    RecordingSurface surface;
    FakeWindowOps windowOps;
    FakeEntryOps entry;
    Platform platform{files, clock, registry, http, surface, surface, windowOps, entry, u"feeds.example"};

    void SetUp() override {
        entry.commandLine = u"\"C:\\Saver\\Tavelin.scr\" /s";
        http.body = kFeed;
        auto key = registry.CreateOrOpen(Hive::LocalMachine, kSettingsPath).key;
        const uint32_t on = 1, three = 3;
        registry.Set(key, u"Log", kRegDword, &on, 4);
        registry.Set(key, u"MaxShowStrings", kRegDword, &three, 4);
        SetText(key, u"KeyCode", u"abc");
        SetText(key, u"Company", u"Acme Ltd");
        SetText(key, u"FeedHost", u"127.0.0.1:8080");
        registry.Close(key);
    }
    void SetText(RegistryKey key, std::u16string_view name, std::u16string_view text) {
        registry.Set(key, name, kRegSz, text.data(), static_cast<uint32_t>(text.size() * 2));
    }
    std::vector<std::u16string> Cached() {
        std::vector<std::u16string> out;
        for (const auto& name : registry.ValueNames(Hive::LocalMachine, kDataPath)) {
            const auto v = registry.Get(Hive::LocalMachine, kDataPath, name);
            out.emplace_back(reinterpret_cast<const char16_t*>(v->bytes.data()), v->bytes.size() / 2);
        }
        return out;
    }
    std::vector<std::u16string> Logged() { return MemoryLogFile::Messages(*files.Only()); }
    bool LoggedLine(std::u16string_view line) {
        const auto all = Logged();
        return std::find(all.begin(), all.end(), line) != all.end();
    }
};

TEST_F(SaverAppTest, FullScreenRunFromFeedToCleanExit) {
    SaverApp* appSeen = nullptr;
    entry.duringLoop = [&] {
        // What the platform would deliver: a turn, a big pointer move, the
        // close it posts, and the destruction that default processing causes.
        MessageHandler& proc = *entry.procedure;
        proc.Handle(Handle(0x500), msg::WM_TIMER, 2, 0);
        windowOps.pointer = ScreenPoint{110, 100};
        proc.Handle(Handle(0x500), msg::WM_MOUSEMOVE, 0, 0);
        ASSERT_EQ(windowOps.CloseRequests(), 1u);
        proc.Handle(Handle(0x500), msg::WM_CLOSE, 0, 0);
        EXPECT_EQ(windowOps.defaultProcessed.back(), msg::WM_CLOSE);
        proc.Handle(Handle(0x500), msg::WM_DESTROY, 0, 0);
    };
    SaverApp app(platform);
    appSeen = &app;
    EXPECT_EQ(app.SaverEntry(), 0);

    EXPECT_EQ(http.hostName, u"127.0.0.1");
    EXPECT_EQ(http.port, 8080);
    EXPECT_EQ(http.path, u"/auth/abc.xml");
    EXPECT_EQ(Cached(), (std::vector<std::u16string>{u"casa:house", u"perro:dog", u"gato:cat"}));
    EXPECT_EQ(appSeen->window.news.gNewsString, u"Markets calm");

    const auto logged = Logged();
    EXPECT_EQ(logged.front(), u"CREATELOGFILE,TIMESTAMP START");
    EXPECT_TRUE(LoggedLine(u"WM_CREATE Returned from GETRSSFEED, 3 strings pulled."));
    EXPECT_TRUE(LoggedLine(u"WM_TIMER,ID_TURNTIMER Message Received"));
    EXPECT_EQ(logged.back(), u"WM_DESTROY Clean Exit");
    // Three texts, the company line; the frame and the display both posted quit.
    EXPECT_TRUE(LoggedLine(u"WM_DESTROY gInactiveStrings(2), Attempting deletion..."));
    EXPECT_EQ(windowOps.quits, std::vector<int32_t>{0});
    EXPECT_EQ(surface.quitCode, 0);
    EXPECT_EQ(windowOps.hides, 1);
}

TEST_F(SaverAppTest, OfflineRunShowsTheCacheAndKeepsIt) {
    auto data = registry.CreateOrOpen(Hive::LocalMachine, kDataPath).key;
    SetText(data, u"0001", u"uno:one");
    SetText(data, u"0002", u"dos:two");
    registry.Close(data);
    http.failAt = ScriptedHttp::Step::Connect;
    entry.duringLoop = [&] { entry.procedure->Handle(Handle(0x500), msg::WM_DESTROY, 0, 0); };
    SaverApp app(platform);
    EXPECT_EQ(app.SaverEntry(), 0);
    EXPECT_TRUE(LoggedLine(u"WM_CREATE Returned from GETSTRINGSFROMREG, with 2 strings."));
    EXPECT_EQ(Cached(), (std::vector<std::u16string>{u"uno:one", u"dos:two"}));
    EXPECT_TRUE(LoggedLine(u"WM_DESTROY gInactiveStrings(2), Attempting deletion...")); // 2 + company
}

TEST_F(SaverAppTest, PreviewIgnoresInputAndEndsWithItsParent) {
    entry.commandLine = u"Tavelin.scr /p 4711";
    entry.windows = {Handle(4711)};
    windowOps.windows = {Handle(4711), Handle(0x500)};
    entry.duringLoop = [&] {
        MessageHandler& proc = *entry.procedure;
        windowOps.pointer = ScreenPoint{900, 900};
        proc.Handle(Handle(0x500), msg::WM_MOUSEMOVE, 0, 0);
        proc.Handle(Handle(0x500), msg::WM_KEYDOWN, 0x41, 0);
        EXPECT_EQ(windowOps.CloseRequests(), 0u);
        proc.Handle(Handle(0x500), msg::WM_DESTROY, 0, 0);
    };
    SaverApp app(platform);
    EXPECT_EQ(app.SaverEntry(), 0);
    EXPECT_TRUE(app.host.frame.bPreview);
    EXPECT_EQ(windowOps.hides, 0);
    EXPECT_EQ(Logged().back(), u"WM_DESTROY Clean Exit");
}

} // namespace
} // namespace tavelin
