// The WindowOps port over user32, kernel32 and the current user's registry.
#pragma once

#include "host/window_ops.h"

namespace tavelin::win32 {

class Win32WindowOps : public WindowOps {
public:
    void Post(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) override;
    LResult Send(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) override;
    bool RemovePending(WindowHandle window, uint32_t message) override;
    LResult DefaultProcessing(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) override;
    void PostQuit(int32_t code) override;
    WindowHandle Parent(WindowHandle window) override;
    bool IsWindow(WindowHandle window) override;
    void HidePointer() override;
    std::optional<ScreenPoint> PointerPosition() override;
    uint32_t TickCount() override;
    void YieldTimeSlice() override;
    LibraryHandle FindLoadedLibrary(std::u16string_view name) override;
    LibraryHandle LoadNamedLibrary(std::u16string_view name) override;
    void FreeLibrary(LibraryHandle library) override;
    FunctionHandle FindFunction(LibraryHandle library, const char* name) override;
    InputContext CallImmAssociateContext(FunctionHandle function, WindowHandle window, InputContext context) override;
    bool CallVerifyScreenSavePwd(FunctionHandle function, WindowHandle window) override;
    void CallPwdChangePassword(FunctionHandle function, std::u16string_view provider, WindowHandle parent) override;
    std::optional<uint32_t> ReadUserNumber(std::u16string_view key, std::u16string_view value) override;
    void SetScreenSaverRunning(bool running) override;
};

} // namespace tavelin::win32
