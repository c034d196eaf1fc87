// The platform operations behind the saver window's closing rules, pointer
// hiding, input-method suppression and password verification.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "core/window_messages.h"

namespace tavelin {

using LibraryHandle = void*;  // a loaded library, or null
using FunctionHandle = void*; // a function found in one, or null
using InputContext = void*;   // an input-method context, or null

struct ScreenPoint {
    int32_t x = 0;
    int32_t y = 0;
    bool operator==(const ScreenPoint&) const = default;
};

class WindowOps {
public:
    virtual ~WindowOps() = default;

    // Messages.
    virtual void Post(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) = 0;
    virtual LResult Send(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) = 0;
    // Removes one pending message of that number for the window, without yielding.
    virtual bool RemovePending(WindowHandle window, uint32_t message) = 0;
    virtual LResult DefaultProcessing(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) = 0;
    virtual void PostQuit(int32_t code) = 0;

    // Windows.
    virtual WindowHandle Parent(WindowHandle window) = 0;
    virtual bool IsWindow(WindowHandle window) = 0;

    // The pointer: hidden by setting no cursor; its position in screen pixels,
    // none when the platform cannot tell.
    virtual void HidePointer() = 0;
    virtual std::optional<ScreenPoint> PointerPosition() = 0;

    // Time.
    virtual uint32_t TickCount() = 0;
    virtual void YieldTimeSlice() = 0;

    // Libraries found at run time.
    virtual LibraryHandle FindLoadedLibrary(std::u16string_view name) = 0;
    virtual LibraryHandle LoadNamedLibrary(std::u16string_view name) = 0;
    virtual void FreeLibrary(LibraryHandle library) = 0;
    virtual FunctionHandle FindFunction(LibraryHandle library, const char* name) = 0;
    // Calls of the functions found, each with its own signature.
    virtual InputContext CallImmAssociateContext(FunctionHandle function, WindowHandle window,
                                                 InputContext context) = 0;
    virtual bool CallVerifyScreenSavePwd(FunctionHandle function, WindowHandle window) = 0;
    virtual void CallPwdChangePassword(FunctionHandle function, std::u16string_view provider,
                                       WindowHandle parent) = 0;

    // A 4-byte value of a key of the current user's hive, opened (never created)
    // and closed again; none when the key or the value cannot be read.
    virtual std::optional<uint32_t> ReadUserNumber(std::u16string_view key, std::u16string_view value) = 0;
    // Tells the system whether a saver runs (SPI_SETSCREENSAVERRUNNING).
    virtual void SetScreenSaverRunning(bool running) = 0;
};

} // namespace tavelin
