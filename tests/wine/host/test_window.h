// Plain windows of the tests' own class, and a drained queue between tests,
// for checking the host's platform adapters against real user32.
#pragma once

#include "core/window_messages.h"

#include <windows.h>

namespace tavelin::hosttest {

// A message the test class answers with 3 * lParam + wParam.
inline constexpr UINT kEcho = WM_APP + 1;

// A window of the test class; destroyed with the object when still alive.
class TestWindow {
public:
    explicit TestWindow(const wchar_t* title, DWORD style = WS_POPUP, HWND parent = nullptr, int cx = 320,
                        int cy = 240);
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND hwnd() const { return hwnd_; }
    WindowHandle handle() const { return hwnd_; }

private:
    HWND hwnd_ = nullptr;
};

// Removes whatever a test left in this thread's queue, the quit message included.
void DrainQueue();

// Whether a message of that number is pending for the window, left in place.
bool IsPending(HWND window, UINT message);

} // namespace tavelin::hosttest
