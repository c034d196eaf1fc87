// A saver window over real GDI in a real top-level window, as a full-screen
// run has it, for the Wine tests and the frame benchmarks: the window
// procedure that hands every message to the SaverWindow, and its set-up.
#pragma once

// The portable headers come before the platform's, whose macros share names with them.
#include <functional>
#include <span>
#include <string>

#include "core/text.h"
#include "display/saver_window.h"
#include "platform/win32/saver_timers_win32.h"
#include "platform/win32/surface_gdi.h"

#include <windows.h>

namespace tavelin::testing {

// The trampoline: the SaverWindow comes as the creation parameter and is kept
// in the window's user data; what comes before it goes to DefWindowProcW.
inline LRESULT CALLBACK SaverWindowTrampoline(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* saver = reinterpret_cast<SaverWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (saver == nullptr || message == WM_NCCREATE || message == WM_NCDESTROY)
        return DefWindowProcW(window, message, wParam, lParam);
    return saver->Procedure(window, message, wParam, lParam);
}

// Start-up steps: the settings as settings leaves them, these texts and this
// news; every other message to DefWindowProcW.
inline SaverSteps ShowingSteps(std::function<void(SaverSettings&)> settings, std::span<const char16_t* const> texts,
                               std::u16string news) {
    return SaverSteps{[settings](SaverSettings& s, Log&) { settings(s); },
                      [texts, news](Group& messages, News& n) {
                          for (const char16_t* t : texts) messages.Add(DuplicateText(t));
                          n.gNewsString = news;
                          n.gNewsSet = news.size() >= 3;
                      },
                      [](WindowHandle w, uint32_t m, WParam wp, LParam lp) {
                          return DefWindowProcW(static_cast<HWND>(w), m, wp, lp);
                      }};
}

inline void PumpMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

// The saver in a topmost pop-up at the screen's corner; WM_CREATE has run and
// the messages it posted are handled once Open returns.
class SaverInWindow {
public:
    SaverInWindow(win32::GdiSurface& surface, Clock& clock, Log& log, SaverSteps steps)
        : saver(surface, timers, clock, log, std::move(steps)) {}
    ~SaverInWindow() {
        if (window != nullptr) DestroyWindow(window);
    }
    SaverInWindow(const SaverInWindow&) = delete;
    SaverInWindow& operator=(const SaverInWindow&) = delete;

    HWND Open(int cx, int cy) {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = SaverWindowTrampoline;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kClassName;
        windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        RegisterClassW(&windowClass); // fails harmlessly when a run before registered it
        window = CreateWindowExW(WS_EX_TOPMOST, kClassName, L"Screen Saver", WS_POPUP | WS_VISIBLE, 0, 0, cx, cy,
                                 nullptr, nullptr, GetModuleHandleW(nullptr), &saver);
        PumpMessages();
        return window;
    }

    static constexpr const wchar_t* kClassName = L"TavelinSaverInWindow";

    win32::Win32SaverTimers timers;
    SaverWindow saver;
    HWND window = nullptr;
};

} // namespace tavelin::testing
