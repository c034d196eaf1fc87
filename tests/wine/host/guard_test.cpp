// Win32EntryOps::RunGuarded with real faults: a C++ exception from the mode, one
// thrown inside a window procedure, and a hardware fault, each in its own process
// where it ends the process. Each fault goes first to the filter that was in
// place before the guard (here a stand-in for the system's crash reporting).
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

constexpr int kReporterEnded = 43; // the exit code of a reporter that ends the process itself
DWORD gReportedCode = 0;           // what the stand-in reporter saw, in the dying process

// Reports and lets the program go on, as the system does once a report is sent.
LONG WINAPI ReportAndGoOn(EXCEPTION_POINTERS* info) {
    gReportedCode = info->ExceptionRecord->ExceptionCode;
    return EXCEPTION_EXECUTE_HANDLER;
}
// Reports and ends the process itself: the guard's clean-up never runs.
LONG WINAPI ReportAndEnd(EXCEPTION_POINTERS* info) {
    ExitProcess(info->ExceptionRecord->ExceptionCode == EXCEPTION_ACCESS_VIOLATION ? kReporterEnded : 1);
}
// The clean-up, when the reporter saw code first.
std::function<void()> ExitIfReported(DWORD code) {
    return [code] { ExitProcess(gReportedCode == code ? kFaultSeen : 1); };
}

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

TEST_F(GuardTest, AnExceptionFromTheModeIsReportedRunsOnFaultOnceAndGivesMinusOne) {
    const LPTOP_LEVEL_EXCEPTION_FILTER before = SetUnhandledExceptionFilter(ReportAndGoOn);
    gReportedCode = 0;
    EXPECT_EQ(entry.RunGuarded([]() -> int32_t { throw std::runtime_error("mode"); }, countFault),
              kFaultExitCode);
    EXPECT_EQ(faults, 1);
    EXPECT_EQ(gReportedCode, win32::kThrowFaultCode);
    SetUnhandledExceptionFilter(before);
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

TEST_F(GuardTest, AnExceptionInAWindowProcedureIsReportedThenEndsTheProcess) {
    SetUnhandledExceptionFilter(ReportAndGoOn);
    EXPECT_EXIT(LoopThatThrows(entry, ExitIfReported(win32::kThrowFaultCode)), ::testing::ExitedWithCode(kFaultSeen),
                "");
    EXPECT_EXIT(LoopThatThrows(entry, [] {}), ::testing::ExitedWithCode(kFaultExitCode), "");
    SetUnhandledExceptionFilter(nullptr);
}

TEST_F(GuardTest, AHardwareFaultIsReportedFirstAndCleanedUpOnlyWhenTheProgramMayGoOn) {
    const auto crash = [] {
        volatile int* nowhere = nullptr;
        *nowhere = 1;
        return 0;
    };
    SetUnhandledExceptionFilter(ReportAndGoOn);
    EXPECT_EXIT(entry.RunGuarded(crash, ExitIfReported(EXCEPTION_ACCESS_VIOLATION)),
                ::testing::ExitedWithCode(kFaultSeen), "");
    EXPECT_EXIT(entry.RunGuarded(crash, [] {}), ::testing::ExitedWithCode(kFaultExitCode), "");
    SetUnhandledExceptionFilter(ReportAndEnd);
    EXPECT_EXIT(entry.RunGuarded(crash, [] { ExitProcess(kFaultSeen); }), ::testing::ExitedWithCode(kReporterEnded),
                "");
    SetUnhandledExceptionFilter(nullptr);
}

} // namespace
} // namespace tavelin
