// Mode dispatch and the saver window's creation, against entry and window doubles.
#include <gtest/gtest.h>

#include "fake_entry_ops.h"
#include "fake_window_ops.h"
#include "fakes/fake_clock.h"
#include "fakes/memory_log_file.h"
#include "core/text.h"
#include "host/saver_host.h"

namespace tavelin {
namespace {

using fakes::FakeEntryOps;
using fakes::FakeWindowOps;
using fakes::FakeClock;
using fakes::MemoryLogFile;

using fakes::Handle;

struct SaverHostTest : ::testing::Test {
    FakeEntryOps entry;
    FakeWindowOps window;
    MemoryLogFile files;
    FakeClock clock;
    Log log{files, clock};
    SaverHost host{entry, window, log};

    int32_t Run(std::u16string line) {
        entry.commandLine = std::move(line);
        return host.SaverEntry();
    }
};

TEST_F(SaverHostTest, ConfigurationDialogOwners) {
    entry.windows = {Handle(1234)};
    struct Row {
        const char16_t* line;
        WindowHandle owner;
    };
    const Row rows[] = {
        {u"Tavelin.scr", nullptr},
        {u"Tavelin.scr /c", Handle(0x99)},
        {u"Tavelin.scr /c:0", Handle(0x99)},
        {u"Tavelin.scr /c:777", Handle(0x99)}, // names no window
        {u"Tavelin.scr /c 1234", Handle(0x99)},
        {u"Tavelin.scr /c:1234", Handle(1234)},
    };
    for (const Row& row : rows) {
        entry.dialogOwners.clear();
        EXPECT_EQ(Run(row.line), 1);
        EXPECT_EQ(entry.dialogOwners, std::vector<WindowHandle>{row.owner}) << ToUtf8(row.line);
    }
    entry.dialogResult = 0;
    EXPECT_EQ(Run(u"Tavelin.scr /c"), 0);
}

TEST_F(SaverHostTest, BadSwitchesExitWithMinusOneAndShowNothing) {
    for (const char16_t* line : {u"Tavelin.scr /x", u"Tavelin.scr /p", u"Tavelin.scr /p:1234",
                                 u"Tavelin.scr /p 4711", u"Tavelin.scr /\x07", u"Tavelin.scr /a 1"}) {
        EXPECT_EQ(Run(line), -1) << ToUtf8(line);
    }
    EXPECT_TRUE(entry.created.empty());
    EXPECT_TRUE(entry.dialogOwners.empty());
}

TEST_F(SaverHostTest, FullScreenWindow) {
    EXPECT_EQ(Run(u"\"C:\\Program Files\\T\\Tavelin.scr\" /s"), 0);
    ASSERT_EQ(entry.created.size(), 1u);
    const SaverWindowSpec& s = entry.created[0];
    EXPECT_EQ(entry.createdTitles[0], u"Screen Saver");
    EXPECT_EQ(s.style, 0x96000000u); // WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS
    EXPECT_EQ(s.exStyle, 0x8u);
    EXPECT_EQ(s.parent, nullptr);
    EXPECT_EQ((std::vector<int32_t>{s.x, s.y, s.cx, s.cy}), (std::vector<int32_t>{0, 0, 1920, 1080}));
    EXPECT_EQ(entry.broughtForward, std::vector<WindowHandle>{Handle(0x500)});
    EXPECT_EQ(entry.loops, 1);
    EXPECT_FALSE(host.frame.bPreview);
    EXPECT_EQ(host.hSaverWindow, Handle(0x500));
    // The class procedure is the frame: WM_CREATE hid the pointer.
    EXPECT_EQ(window.hides, 1);
    EXPECT_EQ(host.frame.uQueryCancelAutoPlay, 0u);
}

TEST_F(SaverHostTest, PreviewWindowInsideItsParent) {
    entry.windows = {Handle(4711)};
    EXPECT_EQ(Run(u"Tavelin.scr /l 4711"), 0);
    ASSERT_EQ(entry.created.size(), 1u);
    const SaverWindowSpec& s = entry.created[0];
    EXPECT_EQ(entry.createdTitles[0], u"Preview");
    EXPECT_EQ(s.style, 0x52000000u); // WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN
    EXPECT_EQ(s.exStyle, 0u);
    EXPECT_EQ(s.parent, Handle(4711));
    EXPECT_EQ((std::vector<int32_t>{s.x, s.y, s.cx, s.cy}), (std::vector<int32_t>{0, 0, 152, 112}));
    EXPECT_TRUE(entry.broughtForward.empty());
    EXPECT_TRUE(host.frame.bPreview);
    EXPECT_EQ(window.hides, 0);
}

TEST_F(SaverHostTest, SecondFullScreenSaverNeverStarts) {
    entry.runningSaver = Handle(0x321);
    entry.windows = {Handle(0x321)};
    EXPECT_EQ(Run(u"Tavelin.scr /s"), 0);
    EXPECT_TRUE(entry.created.empty());
    EXPECT_EQ(entry.broughtForward, std::vector<WindowHandle>{Handle(0x321)});
}

TEST_F(SaverHostTest, WindowThatCannotBeMadeEndsTheRunWithMinusOne) {
    entry.createFails = true;
    EXPECT_EQ(Run(u"Tavelin.scr /s"), -1);
    EXPECT_EQ(entry.loops, 0);
    entry.createFails = false;
    entry.registerFails = true;
    EXPECT_EQ(Run(u"Tavelin.scr /s"), -1);
    EXPECT_EQ(entry.created.size(), 1u);
}

TEST_F(SaverHostTest, LoopResultIsTheExitCode) {
    entry.quitCode = 3;
    EXPECT_EQ(Run(u"Tavelin.scr /s"), 3);
}

TEST_F(SaverHostTest, ConsumerFamilyLoadsVerifierAndReleasesItAfterTheLoop) {
    entry.platformId = 1;
    window.usePassword = 1;
    window.loadable[u"PASSWORD.CPL"] = Handle(0x70);
    window.functions["VerifyScreenSavePwd"] = Handle(0x71);
    bool loadedDuringLoop = false;
    entry.duringLoop = [&] { loadedDuringLoop = host.frame.verifier.function != nullptr; };
    EXPECT_EQ(Run(u"Tavelin.scr /s"), 0);
    EXPECT_TRUE(loadedDuringLoop);
    EXPECT_EQ(host.frame.verifier.library, nullptr);
    EXPECT_EQ(window.running, (std::vector<bool>{true, false}));
    EXPECT_EQ(host.frame.uQueryCancelAutoPlay, 0xC0DEu);
}

TEST_F(SaverHostTest, PasswordChangeOnlyOnTheConsumerFamily) {
    window.loadable[u"MPR.DLL"] = Handle(0x80);
    window.functions["PwdChangePasswordW"] = Handle(0x81);
    EXPECT_EQ(Run(u"Tavelin.scr /a 55"), -1);
    EXPECT_TRUE(window.passwordChanges.empty());

    entry.platformId = 1;
    entry.windows = {Handle(55)};
    EXPECT_EQ(Run(u"Tavelin.scr /a 55"), 0);
    EXPECT_EQ(Run(u"Tavelin.scr /a"), 0);
    ASSERT_EQ(window.passwordChanges.size(), 2u);
    EXPECT_EQ(window.passwordChanges[0], std::make_pair(std::u16string(u"SCRSAVE"), Handle(55)));
    EXPECT_EQ(window.passwordChanges[1].second, Handle(0x99));
    EXPECT_EQ(window.freed, (std::vector<LibraryHandle>{Handle(0x80), Handle(0x80)}));

    window.loadable.clear(); // no MPR.DLL: nothing happens, still 0
    EXPECT_EQ(Run(u"Tavelin.scr /a"), 0);
    EXPECT_EQ(window.passwordChanges.size(), 2u);
}

TEST_F(SaverHostTest, FaultInTheModeTellsTheSystemTheSaverStopped) {
    entry.platformId = 1;
    entry.fault = true;
    EXPECT_EQ(Run(u"Tavelin.scr /s"), -1);
    EXPECT_EQ(window.running, std::vector<bool>{false});
    // Reading the command line is part of the guarded run too.
    entry.fault = false;
    EXPECT_EQ(Run(u"Tavelin.scr /x"), -1);
    EXPECT_EQ(entry.commandLineReadsUnguarded, 0);
}

} // namespace
} // namespace tavelin
