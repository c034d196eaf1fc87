// Win32EntryOps::RunGuarded with real faults: a C++ exception from the mode, one
// thrown inside a window procedure, and a hardware fault, each in its own process
// where it ends the process.
// The portable headers come before the platform's, whose macros share names with them.
#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/win32/platform_entry_win32.h"
#include "wine/host/test_window.h"

#include <windows.h>

namespace tavelin {
namespace {

constexpr UINT kThrow = WM_APP + 3;
constexpr int kFaultSeen = 42; // the exit code an onFault below chooses

class ThrowingProcedure : public MessageHandler {
public:
    LResult Handle(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) override {
        if (message == kThrow) throw std::runtime_error("out of the window procedure");
        return DefWindowProcW(static_cast<HWND>(window), message, wParam, lParam);
    }
};

LONG WINAPI SentinelFilter(EXCEPTION_POINTERS*) { return EXCEPTION_CONTINUE_SEARCH; }

class GuardTest : public ::testing::Test {
protected:
    void TearDown() override { hosttest::DrainQueue(); }

    win32::Win32EntryOps entry{GetModuleHandleW(nullptr), nullptr};
    int faults = 0;
    std::function<void()> countFault = [this] { ++faults; };
};

TEST_F(GuardTest, BodyResultPassesAndTheEarlierFaultFilterComesBack) {
    const LPTOP_LEVEL_EXCEPTION_FILTER before = SetUnhandledExceptionFilter(SentinelFilter);
    EXPECT_EQ(entry.RunGuarded([] { return 5; }, countFault), 5);
    EXPECT_EQ(SetUnhandledExceptionFilter(before), SentinelFilter);
    EXPECT_EQ(faults, 0);
}

TEST_F(GuardTest, AnExceptionFromTheModeRunsOnFaultOnceAndGivesMinusOne) {
    EXPECT_EQ(entry.RunGuarded([]() -> int32_t { throw std::runtime_error("mode"); }, countFault),
              kFaultExitCode);
    EXPECT_EQ(faults, 1);
}

// In the saver the loop runs inside the guard; an exception must not cross user32.
int32_t LoopThatThrows(win32::Win32EntryOps& entry, const std::function<void()>& onFault) {
    ThrowingProcedure procedure;
    if (!entry.RegisterSaverClass({u"TavelinGuardTestClass", 0}, procedure)) return 1;
    const WindowHandle window =
        entry.CreateSaverWindow({u"TavelinGuardTestClass", u"guard", WS_POPUP, 0, 0, 0, 10, 10, nullptr});
    if (window == nullptr) return 2;
    PostMessageW(static_cast<HWND>(window), kThrow, 0, 0);
    return entry.RunGuarded([&] { return entry.RunMessageLoop(); }, onFault);
}

TEST_F(GuardTest, AnExceptionInAWindowProcedureEndsTheProcess) {
    EXPECT_EXIT(LoopThatThrows(entry, [] { ExitProcess(kFaultSeen); }), ::testing::ExitedWithCode(kFaultSeen), "");
    EXPECT_EXIT(LoopThatThrows(entry, [] {}), ::testing::ExitedWithCode(kFaultExitCode), "");
}

TEST_F(GuardTest, AHardwareFaultEndsTheProcessThroughOnFault) {
    const auto crash = [] {
        volatile int* nowhere = nullptr;
        *nowhere = 1;
        return 0;
    };
    EXPECT_EXIT(entry.RunGuarded(crash, [] { ExitProcess(kFaultSeen); }), ::testing::ExitedWithCode(kFaultSeen),
                "");
    EXPECT_EXIT(entry.RunGuarded(crash, [] {}), ::testing::ExitedWithCode(kFaultExitCode), "");
}

} // namespace
} // namespace tavelin
