// The platform operations of the process entry: command line, version report,
// the saver window class and window, the message loop, the dialog and the
// guard against faults.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/log.h"
#include "core/window_messages.h"
#include "host/saver_frame.h"

namespace tavelin {

struct WindowSize {
    int32_t cx = 0;
    int32_t cy = 0;
};

struct ScreenBox {
    int32_t left = 0;
    int32_t top = 0;
    int32_t cx = 0;
    int32_t cy = 0;
};

struct SaverClassSpec {
    std::u16string_view name;
    uint32_t styles = 0; // CS_* bits; the background is the stock black brush, no cursor
};

struct SaverWindowSpec {
    std::u16string_view className;
    std::u16string_view title;
    uint32_t style = 0;   // WS_* bits
    uint32_t exStyle = 0; // WS_EX_* bits
    int32_t x = 0;
    int32_t y = 0;
    int32_t cx = 0;
    int32_t cy = 0;
    WindowHandle parent = nullptr;
};

class EntryOps {
public:
    virtual ~EntryOps() = default;

    // The platform id of the version report; none when it failed.
    virtual std::optional<uint32_t> PlatformId() = 0;
    virtual std::u16string CommandLine() = 0;

    virtual bool IsWindow(WindowHandle window) = 0;
    virtual WindowHandle ForegroundWindow() = 0;
    virtual void BringToForeground(WindowHandle window) = 0;
    virtual WindowHandle FindTopLevelWindow(std::u16string_view className, std::u16string_view title) = 0;
    virtual std::optional<WindowSize> ClientSize(WindowHandle window) = 0;
    // The clip box of a device context for the whole screen.
    virtual ScreenBox ScreenBounds() = 0;
    virtual uint32_t RegisterMessageName(std::u16string_view name) = 0;

    // Registers the class with a procedure that hands every message of its
    // windows to procedure.
    virtual bool RegisterSaverClass(const SaverClassSpec& spec, MessageHandler& procedure) = 0;
    // Creates the window; WM_CREATE has been handled when it returns. Null on failure.
    virtual WindowHandle CreateSaverWindow(const SaverWindowSpec& spec) = 0;
    // Gets, translates and dispatches until the quit message; returns its code.
    virtual int32_t RunMessageLoop() = 0;

    // The modal configuration dialog (template 2003) owned by owner (or none):
    // 1 after OK, 0 otherwise. It writes to the run's log.
    virtual int32_t RunConfigurationDialog(WindowHandle owner, Log& log) = 0;

    // Runs body under the guard against faults. A fault that the platform's
    // handling lets go on runs onFault and gives kFaultExitCode.
    virtual int32_t RunGuarded(const std::function<int32_t()>& body, const std::function<void()>& onFault) = 0;
};

inline constexpr int32_t kBadSwitchExitCode = -1;
inline constexpr int32_t kNoWindowExitCode = -1;
inline constexpr int32_t kFaultExitCode = -1;

} // namespace tavelin
