// Messages, pointer, ticks, run-time libraries and the one current-user value
// the saver frame reads.
#include "platform/win32/window_ops_win32.h"

#include <windows.h>

#include <string>

#include "platform/win32/wide.h"

namespace tavelin::win32 {
namespace {

HWND AsHwnd(WindowHandle window) { return static_cast<HWND>(window); }

// Functions found at run time, with their own signatures.
using ImmAssociateContextFn = void*(WINAPI*)(HWND, void*);
using VerifyScreenSavePwdFn = BOOL(WINAPI*)(HWND);
using PwdChangePasswordFn = DWORD(WINAPI*)(LPCWSTR, HWND, DWORD, DWORD);

class ScopedUserKey {
public:
    explicit ScopedUserKey(std::u16string_view path) {
        const std::wstring p = to_wide(path);
        if (RegOpenKeyExW(HKEY_CURRENT_USER, p.c_str(), 0, KEY_QUERY_VALUE, &key_) != ERROR_SUCCESS) key_ = nullptr;
    }
    ~ScopedUserKey() {
        if (key_ != nullptr) RegCloseKey(key_);
    }
    ScopedUserKey(const ScopedUserKey&) = delete;
    ScopedUserKey& operator=(const ScopedUserKey&) = delete;
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

} // namespace

void Win32WindowOps::Post(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
    PostMessageW(AsHwnd(window), message, wParam, lParam);
}

LResult Win32WindowOps::Send(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
    return SendMessageW(AsHwnd(window), message, wParam, lParam);
}

bool Win32WindowOps::RemovePending(WindowHandle window, uint32_t message) {
    MSG m;
    return PeekMessageW(&m, AsHwnd(window), message, message, PM_REMOVE | PM_NOYIELD) != FALSE;
}

LResult Win32WindowOps::DefaultProcessing(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
    return DefWindowProcW(AsHwnd(window), message, wParam, lParam);
}

void Win32WindowOps::PostQuit(int32_t code) { PostQuitMessage(code); }

WindowHandle Win32WindowOps::Parent(WindowHandle window) { return GetParent(AsHwnd(window)); }

bool Win32WindowOps::IsWindow(WindowHandle window) { return ::IsWindow(AsHwnd(window)) != FALSE; }

void Win32WindowOps::HidePointer() { SetCursor(nullptr); }

std::optional<ScreenPoint> Win32WindowOps::PointerPosition() {
    POINT p;
    if (!GetCursorPos(&p)) return std::nullopt;
    return ScreenPoint{p.x, p.y};
}

uint32_t Win32WindowOps::TickCount() { return GetTickCount(); }

void Win32WindowOps::YieldTimeSlice() { Sleep(0); }

LibraryHandle Win32WindowOps::FindLoadedLibrary(std::u16string_view name) {
    return GetModuleHandleW(to_wide(name).c_str());
}

LibraryHandle Win32WindowOps::LoadNamedLibrary(std::u16string_view name) { return LoadLibraryW(to_wide(name).c_str()); }

void Win32WindowOps::FreeLibrary(LibraryHandle library) {
    if (library != nullptr) ::FreeLibrary(static_cast<HMODULE>(library));
}

FunctionHandle Win32WindowOps::FindFunction(LibraryHandle library, const char* name) {
    return reinterpret_cast<FunctionHandle>(GetProcAddress(static_cast<HMODULE>(library), name));
}

InputContext Win32WindowOps::CallImmAssociateContext(FunctionHandle function, WindowHandle window,
                                                     InputContext context) {
    return reinterpret_cast<ImmAssociateContextFn>(function)(AsHwnd(window), context);
}

bool Win32WindowOps::CallVerifyScreenSavePwd(FunctionHandle function, WindowHandle window) {
    return reinterpret_cast<VerifyScreenSavePwdFn>(function)(AsHwnd(window)) != FALSE;
}

void Win32WindowOps::CallPwdChangePassword(FunctionHandle function, std::u16string_view provider,
                                           WindowHandle parent) {
    const std::wstring name = to_wide(provider);
    reinterpret_cast<PwdChangePasswordFn>(function)(name.c_str(), AsHwnd(parent), 0, 0);
}

std::optional<uint32_t> Win32WindowOps::ReadUserNumber(std::u16string_view key, std::u16string_view value) {
    const ScopedUserKey opened(key);
    if (opened.get() == nullptr) return std::nullopt;
    DWORD number = 0;
    DWORD size = sizeof number;
    const std::wstring name = to_wide(value);
    if (RegQueryValueExW(opened.get(), name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&number), &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    // A shorter value fills the low bytes and leaves the rest zero: the read
    // succeeded, so a stored "on" in one or two bytes still asks for a password.
    return number;
}

void Win32WindowOps::SetScreenSaverRunning(bool running) {
    UINT value = running ? TRUE : FALSE;
    UINT copy = value;
    SystemParametersInfoW(SPI_SETSCREENSAVERRUNNING, value, &copy, 0);
}

} // namespace tavelin::win32
