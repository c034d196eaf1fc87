// Win32WindowOps against real user32 and kernel32: messages reach and leave
// the queue as the saver frame expects, windows, pointer, ticks and libraries.
// The portable headers come before the platform's, whose macros share names with them.
#include <gtest/gtest.h>

#include "platform/win32/window_ops_win32.h"
#include "wine/host/test_window.h"

#include <windows.h>

namespace tavelin {
namespace {

using hosttest::IsPending;
using hosttest::kEcho;
using hosttest::TestWindow;

constexpr UINT kOther = WM_APP + 5;

class WindowOpsTest : public ::testing::Test {
protected:
    void SetUp() override { hosttest::DrainQueue(); }
    void TearDown() override { hosttest::DrainQueue(); }

    win32::Win32WindowOps ops;
};

TEST_F(WindowOpsTest, RemovePendingTakesOneMessageOfThatNumberForThatWindowOnly) {
    TestWindow window(L"queue"), elsewhere(L"elsewhere");
    ASSERT_NE(window.hwnd(), nullptr);
    ASSERT_NE(elsewhere.hwnd(), nullptr);
    ops.Post(window.handle(), WM_TIMER, 1, 0);
    ops.Post(window.handle(), kOther, 0, 0);
    ops.Post(window.handle(), WM_TIMER, 2, 0);
    ops.Post(elsewhere.handle(), WM_TIMER, 3, 0);

    EXPECT_TRUE(ops.RemovePending(window.handle(), WM_TIMER));
    EXPECT_TRUE(IsPending(window.hwnd(), WM_TIMER)) << "one call removes only one";
    EXPECT_TRUE(ops.RemovePending(window.handle(), WM_TIMER));
    EXPECT_FALSE(ops.RemovePending(window.handle(), WM_TIMER)) << "none left for this window";
    EXPECT_TRUE(IsPending(window.hwnd(), kOther));
    EXPECT_TRUE(IsPending(elsewhere.hwnd(), WM_TIMER));
}

TEST_F(WindowOpsTest, SendReturnsTheProcedureAnswerAndDefaultProcessingActsLikeThePlatform) {
    TestWindow window(L"Tavelin host test");
    ASSERT_NE(window.hwnd(), nullptr);
    EXPECT_EQ(ops.Send(window.handle(), kEcho, 4, 5), 19);
    EXPECT_EQ(ops.DefaultProcessing(window.handle(), WM_GETTEXTLENGTH, 0, 0), 17);
    EXPECT_EQ(ops.DefaultProcessing(window.handle(), kEcho, 4, 5), 0) << "the test class's answer is its own";
    // The saver closes by letting the default processing of WM_CLOSE destroy the window.
    ops.DefaultProcessing(window.handle(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(ops.IsWindow(window.handle()));
}

TEST_F(WindowOpsTest, ParentAndLiveness) {
    TestWindow top(L"top");
    ASSERT_NE(top.hwnd(), nullptr);
    TestWindow child(L"child", WS_CHILD, top.hwnd());
    ASSERT_NE(child.hwnd(), nullptr);
    EXPECT_EQ(ops.Parent(child.handle()), top.handle());
    EXPECT_EQ(ops.Parent(top.handle()), nullptr);
    EXPECT_TRUE(ops.IsWindow(child.handle()));
    DestroyWindow(top.hwnd()); // takes the child with it
    EXPECT_FALSE(ops.IsWindow(top.handle()));
    EXPECT_FALSE(ops.IsWindow(child.handle()));
    EXPECT_FALSE(ops.IsWindow(nullptr));
}

TEST_F(WindowOpsTest, PostQuitEndsAMessageLoopWithItsCode) {
    ops.PostQuit(7);
    MSG m{};
    EXPECT_EQ(GetMessageW(&m, nullptr, 0, 0), 0);
    EXPECT_EQ(m.wParam, 7u);
}

TEST_F(WindowOpsTest, PointerPositionFollowsThePointer) {
    const ScreenPoint target{321, 123};
    ASSERT_TRUE(SetCursorPos(target.x, target.y));
    std::optional<ScreenPoint> seen;
    for (int i = 0; i < 1000 && seen != target; ++i) { // 10 s at most
        if (i > 0) Sleep(10);
        seen = ops.PointerPosition();
    }
    ASSERT_TRUE(seen.has_value());
    EXPECT_EQ(seen->x, target.x);
    EXPECT_EQ(seen->y, target.y);
}

TEST_F(WindowOpsTest, HidePointerLeavesNoCursor) {
    SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW)));
    ASSERT_NE(GetCursor(), nullptr);
    ops.HidePointer();
    EXPECT_EQ(GetCursor(), nullptr);
}

TEST_F(WindowOpsTest, TickCountAdvancesInMilliseconds) {
    const uint32_t before = ops.TickCount();
    Sleep(60);
    const uint32_t passed = ops.TickCount() - before;
    EXPECT_GE(passed, 40u);
    EXPECT_LT(passed, 30000u); // a loaded machine may sleep long, but never 60,000 units
}

TEST_F(WindowOpsTest, ScreenSaverRunningReachesTheSystem) {
    BOOL running = FALSE;
    ops.SetScreenSaverRunning(true);
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETSCREENSAVERRUNNING, 0, &running, 0));
    EXPECT_TRUE(running);
    ops.SetScreenSaverRunning(false);
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETSCREENSAVERRUNNING, 0, &running, 0));
    EXPECT_FALSE(running);
}

} // namespace
} // namespace tavelin
