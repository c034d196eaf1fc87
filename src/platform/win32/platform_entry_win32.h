// The EntryOps port over user32 and gdi32: version report, command line, the
// saver window class and window, the message loop and the fault guard.
#pragma once

#include <functional>

#include "host/entry_ops.h"

struct _EXCEPTION_POINTERS; // the platform's fault record, from <windows.h>

namespace tavelin::win32 {

// The exception code a C++ exception that escapes the run is reported under:
// the one the runtime raises for a throw.
inline constexpr unsigned long kThrowFaultCode = 0x20474343;

class Win32EntryOps : public EntryOps {
public:
    using DialogRunner = std::function<int32_t(WindowHandle owner, Log& log)>;

    Win32EntryOps(void* instance, DialogRunner dialog) : instance_(instance), dialog_(std::move(dialog)) {}

    std::optional<uint32_t> PlatformId() override;
    std::u16string CommandLine() override;
    bool IsWindow(WindowHandle window) override;
    WindowHandle ForegroundWindow() override;
    void BringToForeground(WindowHandle window) override;
    WindowHandle FindTopLevelWindow(std::u16string_view className, std::u16string_view title) override;
    std::optional<WindowSize> ClientSize(WindowHandle window) override;
    ScreenBox ScreenBounds() override;
    uint32_t RegisterMessageName(std::u16string_view name) override;
    bool RegisterSaverClass(const SaverClassSpec& spec, MessageHandler& procedure) override;
    WindowHandle CreateSaverWindow(const SaverWindowSpec& spec) override;
    int32_t RunMessageLoop() override;
    int32_t RunConfigurationDialog(WindowHandle owner, Log& log) override;
    int32_t RunGuarded(const std::function<int32_t()>& body, const std::function<void()>& onFault) override;

    // A fault escaped the run. The platform's own handling of unhandled faults
    // (the filter in place before the guard, then the system's error reporting)
    // sees it first; only when that lets the program go on does onFault run and
    // the process end with kFaultExitCode. Otherwise the platform's verdict is returned.
    long Fault(_EXCEPTION_POINTERS* info);
    // The same for a C++ exception, reported under kThrowFaultCode.
    long FaultFromThrow();

    MessageHandler* procedure() const { return procedure_; }

private:
    void CleanUpOnce();

    void* instance_;
    DialogRunner dialog_;
    MessageHandler* procedure_ = nullptr;
    const std::function<void()>* onFault_ = nullptr;
};

} // namespace tavelin::win32
