// The closing rules and the frame's own handling, against the window-ops double.
#include <gtest/gtest.h>

#include "fake_window_ops.h"
#include "host/saver_frame.h"
#include "host/saver_messages.h"

namespace tavelin {
namespace {

using fakes::FakeWindowOps;
using fakes::PostedMessage;

WindowHandle const kWindow = reinterpret_cast<WindowHandle>(0x1234);
WindowHandle const kParent = reinterpret_cast<WindowHandle>(0x5678);

// Stands in for the display engine's procedure: records, then defers.
struct RecordingProcedure : MessageHandler {
    SaverFrame* frame = nullptr;
    std::vector<uint32_t> seen;
    LResult Handle(WindowHandle w, uint32_t m, WParam wp, LParam lp) override {
        seen.push_back(m);
        return frame->DefaultSaverProc(w, m, wp, lp);
    }
};

struct SaverFrameTest : ::testing::Test {
    FakeWindowOps ops;
    SaverFrame frame{ops};
    RecordingProcedure display;

    void SetUp() override {
        display.frame = &frame;
        frame.SetSaverWindowProcedure(&display);
        ops.windows = {kWindow, kParent};
        ops.parents[kWindow] = kParent;
    }
    LResult Send(uint32_t m, WParam wp = 0, LParam lp = 0) { return frame.SaverFrameProc(kWindow, m, wp, lp); }
    void Create(ScreenPoint at) {
        ops.pointer = at;
        Send(msg::WM_CREATE);
    }
    void MoveTo(int32_t x, int32_t y) {
        ops.pointer = ScreenPoint{x, y};
        Send(msg::WM_MOUSEMOVE, 0, 0);
    }
};

TEST_F(SaverFrameTest, MovementAddsUpAgainstTheStartingPoint) {
    Create({100, 100});
    MoveTo(102, 102); // 2 + 2 stays
    EXPECT_EQ(ops.CloseRequests(), 0u);
    MoveTo(103, 102); // 3 + 2 closes
    EXPECT_EQ(ops.CloseRequests(), 1u);
    EXPECT_EQ(frame.ptStart, (ScreenPoint{103, 102}));
}

TEST_F(SaverFrameTest, FiveSmallMovesCloseAtTheFifth) {
    Create({500, 300});
    for (int i = 1; i <= 4; ++i) MoveTo(500 + i, 300);
    EXPECT_EQ(ops.CloseRequests(), 0u);
    EXPECT_EQ(frame.ptStart, (ScreenPoint{500, 300}));
    MoveTo(505, 300);
    EXPECT_EQ(ops.CloseRequests(), 1u);
}

TEST_F(SaverFrameTest, UnknownPointerPositionNeverCloses) {
    Create({10, 10});
    ops.pointer.reset();
    Send(msg::WM_MOUSEMOVE, 0, 0x7FFF7FFF);
    EXPECT_EQ(ops.CloseRequests(), 0u);
}

TEST_F(SaverFrameTest, InputThatClosesAndInputThatDoesNot) {
    struct Row {
        uint32_t message;
        WParam wParam;
        size_t closes;
    };
    const Row rows[] = {
        {msg::WM_KEYDOWN, 0x41, 1},        {msg::WM_SYSKEYDOWN, 0x12, 1},   {msg::WM_LBUTTONDOWN, 0, 1},
        {msg::WM_RBUTTONDOWN, 0, 1},       {msg::WM_MBUTTONDOWN, 0, 1},     {msg::WM_POWERBROADCAST, 4, 1},
        {msg::WM_ACTIVATEAPP, 0, 1},       {msg::WM_ACTIVATEAPP, 1, 0},     {msg::WM_POWER, 3, 1},
        {msg::WM_POWER, 2, 0},             {msg::WM_KEYUP, 0x41, 0},        {msg::WM_SHOWWINDOW, 1, 0},
    };
    for (const Row& row : rows) {
        FakeWindowOps fresh;
        SaverFrame f{fresh};
        f.SaverFrameProc(kWindow, row.message, row.wParam, 0);
        EXPECT_EQ(fresh.CloseRequests(), row.closes) << std::hex << row.message;
        // Every one of them still reaches the platform's default processing.
        ASSERT_EQ(fresh.defaultProcessed.size(), 1u);
        EXPECT_EQ(fresh.defaultProcessed[0], row.message);
    }
}

TEST_F(SaverFrameTest, CloseRequestsAreDefaultProcessedOnOtherFamilies) {
    Send(msg::WM_CLOSE);
    EXPECT_EQ(ops.defaultProcessed, std::vector<uint32_t>{msg::WM_CLOSE});
}

TEST_F(SaverFrameTest, PreviewNeverClosesAndSendsHelpToItsOwner) {
    frame.bPreview = true;
    Create({0, 0});
    EXPECT_EQ(ops.hides, 0);
    for (uint32_t m : {msg::WM_KEYDOWN, msg::WM_LBUTTONDOWN, msg::WM_ACTIVATEAPP, msg::WM_POWERBROADCAST}) Send(m);
    MoveTo(300, 300);
    EXPECT_EQ(ops.CloseRequests(), 0u);

    EXPECT_EQ(Send(msg::WM_HELP, 0, 77), 1);
    EXPECT_EQ(Send(msg::WM_CONTEXTMENU, 0, 88), 1);
    const std::vector<PostedMessage> want = {
        {kParent, msg::WM_HELP, reinterpret_cast<WParam>(kParent), 77},
        {kParent, msg::WM_CONTEXTMENU, reinterpret_cast<WParam>(kParent), 88}};
    EXPECT_EQ(ops.posted, want);
    // The display engine never saw them.
    EXPECT_EQ(std::count(display.seen.begin(), display.seen.end(), msg::WM_HELP), 0);
}

TEST_F(SaverFrameTest, PreviewWithoutLivingParentAnswersHelpAlone) {
    frame.bPreview = true;
    ops.windows = {kWindow};
    EXPECT_EQ(Send(msg::WM_HELP), 1);
    EXPECT_TRUE(ops.posted.empty());
}

TEST_F(SaverFrameTest, WindowSwitchingAndSecondSaverAreSwallowed) {
    for (WParam sc : {msg::SC_NEXTWINDOW, msg::SC_PREVWINDOW, msg::SC_SCREENSAVE}) EXPECT_EQ(Send(msg::WM_SYSCOMMAND, sc), 0);
    EXPECT_TRUE(display.seen.empty());
    Send(msg::WM_SYSCOMMAND, 0xF060); // SC_CLOSE goes on
    Send(msg::WM_SYSCOMMAND, msg::SC_NEXTWINDOW | 1); // only exact values are swallowed
    EXPECT_EQ(display.seen.size(), 2u);
    frame.bPreview = true;
    Send(msg::WM_SYSCOMMAND, msg::SC_NEXTWINDOW);
    EXPECT_EQ(display.seen.size(), 3u);
}

TEST_F(SaverFrameTest, TitleNeverChanges) {
    EXPECT_EQ(Send(msg::WM_SETTEXT, 0, 1), 0);
    EXPECT_TRUE(display.seen.empty());
    EXPECT_TRUE(ops.defaultProcessed.empty());
}

TEST_F(SaverFrameTest, TimersYieldThenPassOnUntilClosing) {
    Send(msg::WM_TIMER, 1);
    EXPECT_EQ(ops.yields, 1);
    EXPECT_EQ(display.seen, std::vector<uint32_t>{msg::WM_TIMER});
    frame.bClosing = true;
    EXPECT_EQ(Send(msg::WM_TIMER, 1), 0);
    EXPECT_EQ(ops.yields, 1);
    EXPECT_EQ(display.seen.size(), 1u);
}

TEST_F(SaverFrameTest, ClosingSaverGivesInputAndPaintOnlyDefaultProcessing) {
    frame.bClosing = true;
    for (uint32_t m : {msg::WM_KEYDOWN, msg::WM_MOUSEMOVE, msg::WM_LBUTTONDOWN, msg::WM_PAINT}) Send(m);
    EXPECT_TRUE(display.seen.empty());
    EXPECT_EQ(ops.defaultProcessed.size(), 4u);
    EXPECT_EQ(ops.CloseRequests(), 0u);
}

TEST_F(SaverFrameTest, PointerHiddenOnCreatePaintCursorAndShow) {
    Create({1, 1});
    EXPECT_EQ(ops.hides, 1);
    Send(msg::WM_PAINT);
    EXPECT_EQ(ops.hides, 2);
    EXPECT_EQ(Send(msg::WM_SETCURSOR), 1);
    EXPECT_EQ(ops.hides, 3);
    Send(msg::WM_SHOWWINDOW, 1);
    Send(msg::WM_SHOWWINDOW, 0);
    EXPECT_EQ(ops.hides, 4);
    // WM_SETCURSOR is answered without default processing.
    EXPECT_EQ(std::count(ops.defaultProcessed.begin(), ops.defaultProcessed.end(), msg::WM_SETCURSOR), 0);
}

TEST_F(SaverFrameTest, InputMethodTakenOnlyFromALoadedLibraryAndGivenBack) {
    InputContext previous = reinterpret_cast<InputContext>(0x99);
    ops.immPrevious = previous;
    Send(msg::WM_CREATE);
    EXPECT_TRUE(ops.immCalls.empty()); // not loaded: left alone
    Send(msg::WM_DESTROY);
    EXPECT_EQ(ops.quits, std::vector<int32_t>{0});

    FakeWindowOps withImm;
    withImm.loaded[u"IMM32.DLL"] = reinterpret_cast<LibraryHandle>(0x10);
    withImm.functions["ImmAssociateContext"] = reinterpret_cast<FunctionHandle>(0x11);
    withImm.immPrevious = previous;
    SaverFrame f{withImm};
    f.SaverFrameProc(kWindow, msg::WM_CREATE, 0, 0);
    f.SaverFrameProc(kWindow, msg::WM_DESTROY, 0, 0);
    const std::vector<std::pair<WindowHandle, InputContext>> want = {{kWindow, nullptr}, {kWindow, previous}};
    EXPECT_EQ(withImm.immCalls, want);
}

TEST_F(SaverFrameTest, DestructionSeenOnlyAsNcDestroyStillShutsDown) {
    Send(msg::WM_NCDESTROY);
    EXPECT_EQ(display.seen, (std::vector<uint32_t>{msg::WM_DESTROY, msg::WM_NCDESTROY}));
    EXPECT_EQ(ops.quits, std::vector<int32_t>{0});

    FakeWindowOps o;
    SaverFrame f{o};
    f.SaverFrameProc(kWindow, msg::WM_DESTROY, 0, 0);
    f.SaverFrameProc(kWindow, msg::WM_NCDESTROY, 0, 0);
    EXPECT_EQ(o.quits, std::vector<int32_t>{0}); // once
}

// The consumer family's password path.
struct PasswordTest : SaverFrameTest {
    FunctionHandle const kVerify = reinterpret_cast<FunctionHandle>(0x77);

    void SetUp() override {
        SaverFrameTest::SetUp();
        frame.bConsumerPlatform = true;
        ops.onSend = [this](WindowHandle w, uint32_t m, WParam wp, LParam lp) {
            return frame.SaverFrameProc(w, m, wp, lp);
        };
    }
    void WithVerifier() {
        ops.usePassword = 1;
        ops.loadable[u"PASSWORD.CPL"] = reinterpret_cast<LibraryHandle>(0x70);
        ops.functions["VerifyScreenSavePwd"] = kVerify;
        frame.LoadPasswordVerifier();
        ASSERT_EQ(frame.verifier.function, kVerify);
    }
};

TEST_F(PasswordTest, WithoutVerifierTheSaverCloses) {
    Send(msg::WM_CLOSE);
    EXPECT_TRUE(frame.bClosing);
    EXPECT_EQ(ops.defaultProcessed, std::vector<uint32_t>{msg::WM_CLOSE});
    // The verify message alone says yes without a verifier.
    frame.bClosing = false;
    EXPECT_EQ(Send(msg::WM_VERIFY_PASSWORD), 1);
}

TEST_F(PasswordTest, RightPasswordCloses) {
    WithVerifier();
    Send(msg::WM_CLOSE);
    EXPECT_EQ(ops.verifyCalls, 1);
    EXPECT_TRUE(frame.bClosing);
    EXPECT_FALSE(frame.bVerifying);
    EXPECT_EQ(ops.removed, (std::vector<uint32_t>{msg::WM_TIMER, msg::WM_TIMER}));
    EXPECT_EQ(ops.defaultProcessed.back(), msg::WM_CLOSE);
    EXPECT_EQ(frame.dwLastVerifyTick, ops.ticks);
}

TEST_F(PasswordTest, WrongPasswordStaysAndPausesBeforeAskingAgain) {
    WithVerifier();
    Create({10, 10});
    ops.verifierAnswers = {false, false};
    ops.pointer = ScreenPoint{40, 40};
    const int hidesBefore = ops.hides;
    EXPECT_EQ(Send(msg::WM_CLOSE), 0);
    EXPECT_FALSE(frame.bClosing);
    EXPECT_EQ(frame.ptStart, (ScreenPoint{40, 40}));
    EXPECT_EQ(ops.hides, hidesBefore + 1);
    EXPECT_TRUE(std::count(ops.defaultProcessed.begin(), ops.defaultProcessed.end(), msg::WM_CLOSE) == 0);

    ops.ticks += 199;
    Send(msg::WM_CLOSE);
    EXPECT_EQ(ops.verifyCalls, 1); // refused without a new dialog
    ops.ticks += 1;
    Send(msg::WM_CLOSE);
    EXPECT_EQ(ops.verifyCalls, 2);
}

TEST_F(PasswordTest, PauseSurvivesTheTickCounterWrapping) {
    WithVerifier();
    ops.verifierAnswers = {false};
    ops.ticks = 0xFFFFFF00u;
    Send(msg::WM_CLOSE);
    ops.ticks = 0x10; // 0x110 ms later
    Send(msg::WM_CLOSE);
    EXPECT_EQ(ops.verifyCalls, 2);
}

TEST_F(PasswordTest, NoSecondVerificationAndNoCloseRequestsWhileOneShows) {
    WithVerifier();
    bool reentered = true;
    ops.onSend = [&](WindowHandle w, uint32_t m, WParam wp, LParam lp) {
        // While the dialog shows, input and a second close request arrive.
        frame.SaverFrameProc(w, msg::WM_KEYDOWN, 0x41, 0);
        reentered = frame.VerifySaverPassword(w);
        return frame.SaverFrameProc(w, m, wp, lp);
    };
    Send(msg::WM_CLOSE);
    EXPECT_FALSE(reentered);
    EXPECT_EQ(ops.verifyCalls, 1);
    EXPECT_EQ(ops.CloseRequests(), 0u);
    EXPECT_TRUE(frame.bClosing);
}

TEST_F(PasswordTest, VerifierLoadsOnlyWhenPasswordIsOnAndFunctionExists) {
    struct Row {
        std::optional<uint32_t> usePassword;
        bool library;
        bool function;
        bool loaded;
    };
    const Row rows[] = {
        {std::nullopt, true, true, false}, {0u, true, true, false},  {1u, false, true, false},
        {1u, true, false, false},          {1u, true, true, true},   {0xFFFFFFFFu, true, true, true},
    };
    for (const Row& row : rows) {
        FakeWindowOps o;
        o.usePassword = row.usePassword;
        if (row.library) o.loadable[u"PASSWORD.CPL"] = reinterpret_cast<LibraryHandle>(0x70);
        if (row.function) o.functions["VerifyScreenSavePwd"] = kVerify;
        SaverFrame f{o};
        f.bConsumerPlatform = true;
        f.LoadPasswordVerifier();
        EXPECT_EQ(f.verifier.function != nullptr, row.loaded);
        EXPECT_EQ(o.running, row.loaded ? std::vector<bool>{true} : std::vector<bool>{});
        // A library without the function is not kept.
        if (row.library && row.usePassword.value_or(0) != 0 && !row.function) {
            EXPECT_EQ(o.freed.size(), 1u);
            EXPECT_EQ(f.verifier.library, nullptr);
        }
        f.ReleasePasswordVerifier();
        EXPECT_EQ(f.verifier.library, nullptr);
        EXPECT_EQ(o.running, row.loaded ? (std::vector<bool>{true, false}) : std::vector<bool>{});
    }
}

TEST_F(PasswordTest, OtherFamiliesNeverLoadOrAsk) {
    frame.bConsumerPlatform = false;
    ops.usePassword = 1;
    ops.loadable[u"PASSWORD.CPL"] = reinterpret_cast<LibraryHandle>(0x70);
    ops.functions["VerifyScreenSavePwd"] = kVerify;
    frame.LoadPasswordVerifier();
    EXPECT_EQ(frame.verifier.library, nullptr);
    frame.NotifySaverRunning(true);
    EXPECT_TRUE(ops.running.empty());
    Send(msg::WM_VERIFY_PASSWORD);
    EXPECT_EQ(ops.verifyCalls, 0);
}

TEST_F(PasswordTest, AutoPlayIsCancelledWhileAPasswordGuardsTheSaver) {
    frame.uQueryCancelAutoPlay = 0xC123;
    EXPECT_EQ(Send(0xC123), 0);
    EXPECT_EQ(ops.CloseRequests(), 1u);
    WithVerifier();
    EXPECT_EQ(Send(0xC123), 1);
    EXPECT_EQ(ops.CloseRequests(), 2u);
}

} // namespace
} // namespace tavelin
