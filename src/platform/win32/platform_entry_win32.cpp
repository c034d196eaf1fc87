// The process side of the saver: its window class, window and message loop.
// No C++ exception crosses a window procedure; a fault goes to the platform's
// own fault handling first, then ends the process with -1.
#include "platform/win32/platform_entry_win32.h"

#include <windows.h>

#include <atomic>
#include <string>

#include "platform/win32/wide.h"

namespace tavelin::win32 {
namespace {

HWND AsHwnd(WindowHandle window) { return static_cast<HWND>(window); }

// The unhandled-fault filter takes no context, so the guard that is running
// and the filter it replaced are the process-wide state here.
std::atomic<Win32EntryOps*> gGuard{nullptr};
std::atomic<LPTOP_LEVEL_EXCEPTION_FILTER> gPrevious{nullptr};

LONG WINAPI OnUnhandledFault(EXCEPTION_POINTERS* info) {
    if (Win32EntryOps* guard = gGuard.load()) return guard->Fault(info);
    const LPTOP_LEVEL_EXCEPTION_FILTER previous = gPrevious.load();
    return previous != nullptr ? previous(info) : EXCEPTION_CONTINUE_SEARCH;
}

// The platform's verdict: the earlier filter, then crash reporting or a
// just-in-time debugger. Ours stands aside meanwhile, so it is not asked again.
LONG AskPlatform(EXCEPTION_POINTERS* info) {
    if (gGuard.load() == nullptr) return UnhandledExceptionFilter(info); // ours is not in place
    const LPTOP_LEVEL_EXCEPTION_FILTER ours = SetUnhandledExceptionFilter(gPrevious.load());
    const LONG verdict = UnhandledExceptionFilter(info);
    SetUnhandledExceptionFilter(ours);
    return verdict;
}

LRESULT CALLBACK SaverClassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    // Messages before WM_NCCREATE (WM_GETMINMAXINFO) find no saver yet.
    auto* entry = reinterpret_cast<Win32EntryOps*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (entry == nullptr || entry->procedure() == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
    try {
        return entry->procedure()->Handle(hwnd, message, wParam, lParam);
    } catch (...) {
        // It must not unwind through user32: whatever the platform says, the process ends.
        entry->FaultFromThrow();
        TerminateProcess(GetCurrentProcess(), static_cast<UINT>(kFaultExitCode));
        ExitProcess(static_cast<UINT>(kFaultExitCode));
    }
}

} // namespace

std::optional<uint32_t> Win32EntryOps::PlatformId() {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExW(&info)) return std::nullopt;
    return info.dwPlatformId;
}

std::u16string Win32EntryOps::CommandLine() {
    const wchar_t* line = GetCommandLineW();
    return line != nullptr ? std::u16string(as_u16(line)) : std::u16string();
}

bool Win32EntryOps::IsWindow(WindowHandle window) { return ::IsWindow(AsHwnd(window)) != FALSE; }

WindowHandle Win32EntryOps::ForegroundWindow() { return GetForegroundWindow(); }

void Win32EntryOps::BringToForeground(WindowHandle window) { SetForegroundWindow(AsHwnd(window)); }

WindowHandle Win32EntryOps::FindTopLevelWindow(std::u16string_view className, std::u16string_view title) {
    return FindWindowW(to_wide(className).c_str(), to_wide(title).c_str());
}

std::optional<WindowSize> Win32EntryOps::ClientSize(WindowHandle window) {
    RECT r;
    if (!GetClientRect(AsHwnd(window), &r)) return std::nullopt;
    return WindowSize{r.right - r.left, r.bottom - r.top};
}

ScreenBox Win32EntryOps::ScreenBounds() {
    ScreenBox box;
    if (HDC screen = GetDC(nullptr)) {
        RECT r{};
        if (GetClipBox(screen, &r) != ERROR) box = {r.left, r.top, r.right - r.left, r.bottom - r.top};
        ReleaseDC(nullptr, screen);
    }
    return box;
}

uint32_t Win32EntryOps::RegisterMessageName(std::u16string_view name) {
    return RegisterWindowMessageW(to_wide(name).c_str());
}

bool Win32EntryOps::RegisterSaverClass(const SaverClassSpec& spec, MessageHandler& procedure) {
    procedure_ = &procedure;
    const std::wstring name = to_wide(spec.name);
    WNDCLASSW wc{};
    wc.style = spec.styles;
    wc.lpfnWndProc = SaverClassProc;
    wc.hInstance = static_cast<HINSTANCE>(instance_);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = name.c_str();
    return RegisterClassW(&wc) != 0;
}

WindowHandle Win32EntryOps::CreateSaverWindow(const SaverWindowSpec& spec) {
    const std::wstring cls = to_wide(spec.className);
    const std::wstring title = to_wide(spec.title);
    return CreateWindowExW(spec.exStyle, cls.c_str(), title.c_str(), spec.style, spec.x, spec.y, spec.cx, spec.cy,
                           AsHwnd(spec.parent), nullptr, static_cast<HINSTANCE>(instance_), this);
}

int32_t Win32EntryOps::RunMessageLoop() {
    MSG m{};
    BOOL got;
    while ((got = GetMessageW(&m, nullptr, 0, 0)) > 0) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
    return got == 0 ? static_cast<int32_t>(m.wParam) : -1;
}

int32_t Win32EntryOps::RunConfigurationDialog(WindowHandle owner, Log& log) {
    return dialog_ ? dialog_(owner, log) : 0;
}

int32_t Win32EntryOps::RunGuarded(const std::function<int32_t()>& body, const std::function<void()>& onFault) {
    onFault_ = &onFault;
    gGuard.store(this);
    gPrevious.store(SetUnhandledExceptionFilter(OnUnhandledFault));
    int32_t result = kFaultExitCode;
    try {
        result = body();
    } catch (...) {
        FaultFromThrow();
    }
    SetUnhandledExceptionFilter(gPrevious.exchange(nullptr));
    gGuard.store(nullptr);
    onFault_ = nullptr;
    return result;
}

long Win32EntryOps::Fault(EXCEPTION_POINTERS* info) {
    const LONG verdict = AskPlatform(info);
    if (verdict != EXCEPTION_EXECUTE_HANDLER) return verdict;
    CleanUpOnce();
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(kFaultExitCode));
    ExitProcess(static_cast<UINT>(kFaultExitCode));
}

long Win32EntryOps::FaultFromThrow() {
    CONTEXT context{};
    RtlCaptureContext(&context);
    EXCEPTION_RECORD record{};
    record.ExceptionCode = kThrowFaultCode;
    record.ExceptionFlags = EXCEPTION_NONCONTINUABLE;
#if defined(_M_X64) || defined(__x86_64__)
    record.ExceptionAddress = reinterpret_cast<void*>(context.Rip);
#endif
    EXCEPTION_POINTERS info{&record, &context};
    const LONG verdict = AskPlatform(&info);
    if (verdict == EXCEPTION_EXECUTE_HANDLER) CleanUpOnce();
    return verdict;
}

void Win32EntryOps::CleanUpOnce() {
    // Only once: a fault inside onFault must not come back here.
    const std::function<void()>* onFault = onFault_;
    onFault_ = nullptr;
    gGuard.store(nullptr);
    if (onFault != nullptr && *onFault) (*onFault)();
}

} // namespace tavelin::win32
