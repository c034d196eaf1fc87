// Win32EntryOps against real user32: the saver class, its two kinds of window,
// the message loop's exit code, and what the entry asks of the system.
// The portable headers come before the platform's, whose macros share names with them.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/win32/platform_entry_win32.h"
#include "platform/win32/window_ops_win32.h"
#include "wine/host/test_window.h"

#include <windows.h>

namespace tavelin {
namespace {

constexpr std::u16string_view kClass = u"WindowsScreenSaverClass";
constexpr uint32_t kSaverClassStyles = 0x2B;
constexpr UINT kTimedOut = 99;
constexpr UINT kAnswer = WM_APP + 2;

// Records every message and answers like a saver window: WM_DESTROY ends the loop.
class RecordingProcedure : public MessageHandler {
public:
    LResult Handle(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) override {
        seen.push_back(message);
        if (windowAtCreate == nullptr && message == WM_CREATE) windowAtCreate = window;
        switch (message) {
        case WM_CREATE:
            return createAnswer;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case kAnswer:
            return lParam + 1;
        default:
            return DefWindowProcW(static_cast<HWND>(window), message, wParam, lParam);
        }
    }
    bool Saw(uint32_t message) const { return std::find(seen.begin(), seen.end(), message) != seen.end(); }

    std::vector<uint32_t> seen;
    WindowHandle windowAtCreate = nullptr;
    LResult createAnswer = 0;
};

// A loop that never sees its quit message still ends, with kTimedOut.
void CALLBACK QuitLate(HWND, UINT, UINT_PTR, DWORD) { PostQuitMessage(kTimedOut); }

class EntryOpsTest : public ::testing::Test {
protected:
    void SetUp() override {
        hosttest::DrainQueue();
        ASSERT_TRUE(entry.RegisterSaverClass({kClass, kSaverClassStyles}, procedure));
    }
    void TearDown() override {
        for (WindowHandle w : created)
            if (IsWindow(static_cast<HWND>(w))) DestroyWindow(static_cast<HWND>(w));
        UnregisterClassW(L"WindowsScreenSaverClass", GetModuleHandleW(nullptr));
        hosttest::DrainQueue();
    }

    WindowHandle Create(const SaverWindowSpec& spec) {
        const WindowHandle w = entry.CreateSaverWindow(spec);
        if (w != nullptr) created.push_back(w);
        return w;
    }
    int32_t RunBoundedLoop() {
        const UINT_PTR timer = SetTimer(nullptr, 0, 2000, QuitLate);
        const int32_t code = entry.RunMessageLoop();
        KillTimer(nullptr, timer);
        return code;
    }

    RecordingProcedure procedure;
    win32::Win32EntryOps entry{GetModuleHandleW(nullptr), nullptr};
    win32::Win32WindowOps ops;
    std::vector<WindowHandle> created;
};

SaverWindowSpec FullScreen(const ScreenBox& box) {
    return {kClass, u"Screen Saver", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, WS_EX_TOPMOST,
            box.left, box.top, box.cx, box.cy, nullptr};
}

TEST_F(EntryOpsTest, SaverClassHasItsStylesBlackBackgroundAndNoCursor) {
    WNDCLASSEXW info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetClassInfoExW(GetModuleHandleW(nullptr), L"WindowsScreenSaverClass", &info));
    EXPECT_EQ(info.style, kSaverClassStyles);
    EXPECT_EQ(info.hbrBackground, GetStockObject(BLACK_BRUSH));
    EXPECT_EQ(info.hCursor, nullptr);
    EXPECT_EQ(info.cbClsExtra, 0);
    EXPECT_EQ(info.cbWndExtra, 0);
}

TEST_F(EntryOpsTest, FullScreenWindowCoversTheScreenAndIsFoundByClassAndTitle) {
    const ScreenBox box = entry.ScreenBounds();
    EXPECT_EQ(box.left, 0);
    EXPECT_EQ(box.top, 0);
    EXPECT_EQ(box.cx, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(box.cy, GetSystemMetrics(SM_CYSCREEN));
    ASSERT_GT(box.cx, 0);
    ASSERT_GT(box.cy, 0);

    const WindowHandle window = Create(FullScreen(box));
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(procedure.Saw(WM_CREATE)) << "WM_CREATE is handled before the creation returns";
    EXPECT_EQ(procedure.windowAtCreate, window);

    const HWND hwnd = static_cast<HWND>(window);
    RECT r{};
    ASSERT_TRUE(GetWindowRect(hwnd, &r));
    EXPECT_EQ(r.left, box.left);
    EXPECT_EQ(r.top, box.top);
    EXPECT_EQ(r.right - r.left, box.cx);
    EXPECT_EQ(r.bottom - r.top, box.cy);
    EXPECT_TRUE(GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_TRUE(IsWindowVisible(hwnd));

    EXPECT_EQ(entry.FindTopLevelWindow(kClass, u"Screen Saver"), window);
    EXPECT_EQ(entry.FindTopLevelWindow(kClass, u"Preview"), nullptr);
    EXPECT_TRUE(entry.IsWindow(window));
}

TEST_F(EntryOpsTest, PreviewWindowFillsItsParentAndIsNoTopLevelWindow) {
    hosttest::TestWindow pane(L"pane", WS_POPUP | WS_VISIBLE, nullptr, 152, 112);
    ASSERT_NE(pane.hwnd(), nullptr);
    const auto paneSize = entry.ClientSize(pane.handle());
    ASSERT_TRUE(paneSize.has_value());
    EXPECT_EQ(paneSize->cx, 152);
    EXPECT_EQ(paneSize->cy, 112);

    const WindowHandle window = Create({kClass, u"Preview", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 0,
                                        paneSize->cx, paneSize->cy, pane.handle()});
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(ops.Parent(window), pane.handle());
    const auto size = entry.ClientSize(window);
    ASSERT_TRUE(size.has_value());
    EXPECT_EQ(size->cx, paneSize->cx);
    EXPECT_EQ(size->cy, paneSize->cy);
    EXPECT_EQ(entry.FindTopLevelWindow(kClass, u"Preview"), nullptr);

    DestroyWindow(pane.hwnd()); // as the display settings do: the child goes with it
    EXPECT_FALSE(entry.IsWindow(window));
    EXPECT_FALSE(entry.ClientSize(window).has_value());
}

TEST_F(EntryOpsTest, ARefusedCreationGivesNoWindow) {
    procedure.createAnswer = -1;
    EXPECT_EQ(Create(FullScreen(entry.ScreenBounds())), nullptr);
    EXPECT_EQ(entry.FindTopLevelWindow(kClass, u"Screen Saver"), nullptr);
    EXPECT_EQ(Create({u"NoSuchClassHere", u"Screen Saver", WS_POPUP, 0, 0, 0, 10, 10, nullptr}), nullptr);
}

TEST_F(EntryOpsTest, EveryLaterMessageReachesTheProcedure) {
    const WindowHandle window = Create(FullScreen(entry.ScreenBounds()));
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(ops.Send(window, kAnswer, 0, 41), 42);
}

TEST_F(EntryOpsTest, ClosingTheWindowEndsTheLoopWithZero) {
    const WindowHandle window = Create(FullScreen(entry.ScreenBounds()));
    ASSERT_NE(window, nullptr);
    ops.Post(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(RunBoundedLoop(), 0);
    EXPECT_TRUE(procedure.Saw(WM_CLOSE));
    EXPECT_TRUE(procedure.Saw(WM_DESTROY));
    EXPECT_FALSE(entry.IsWindow(window));
}

TEST_F(EntryOpsTest, LoopDispatchesWhatCameBeforeAndReturnsTheQuitCode) {
    const WindowHandle window = Create(FullScreen(entry.ScreenBounds()));
    ASSERT_NE(window, nullptr);
    for (const int32_t code : {0, 7, -1}) {
        SCOPED_TRACE(code);
        procedure.seen.clear();
        ops.Post(window, kAnswer, 0, 0);
        ops.PostQuit(code);
        EXPECT_EQ(RunBoundedLoop(), code);
        EXPECT_TRUE(procedure.Saw(kAnswer));
    }
}

// A second full-screen start brings the running saver to the front.
TEST_F(EntryOpsTest, BringToForegroundMakesItTheForegroundWindow) {
    hosttest::TestWindow other(L"other", WS_POPUP | WS_VISIBLE);
    ASSERT_NE(other.hwnd(), nullptr);
    const WindowHandle window = Create(FullScreen(entry.ScreenBounds()));
    ASSERT_NE(window, nullptr);
    for (const WindowHandle front : {other.handle(), window}) {
        entry.BringToForeground(front);
        EXPECT_EQ(entry.ForegroundWindow(), front);
    }
}

TEST_F(EntryOpsTest, SystemAnswers) {
    // Wine reports the NT family: the consumer family's password steps stay off here.
    EXPECT_EQ(entry.PlatformId(), std::optional<uint32_t>(VER_PLATFORM_WIN32_NT));
    const uint32_t autoPlay = entry.RegisterMessageName(u"QueryCancelAutoPlay");
    EXPECT_GE(autoPlay, 0xC000u);
    EXPECT_LE(autoPlay, 0xFFFFu);
    EXPECT_EQ(entry.RegisterMessageName(u"QueryCancelAutoPlay"), autoPlay);
    EXPECT_EQ(autoPlay, RegisterWindowMessageW(L"QueryCancelAutoPlay"));
    EXPECT_NE(entry.RegisterMessageName(u"TavelinSomethingElse"), autoPlay);
}

} // namespace
} // namespace tavelin
