// The test window class: a procedure with one known answer, default otherwise.
#include "wine/host/test_window.h"

namespace tavelin::hosttest {
namespace {

constexpr wchar_t kClassName[] = L"TavelinHostTestWindow";

LRESULT CALLBACK TestProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kEcho) return 3 * lParam + static_cast<LPARAM>(wParam);
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void RegisterTestClass() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = TestProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kClassName;
    RegisterClassW(&wc); // fails harmlessly once it exists
}

} // namespace

TestWindow::TestWindow(const wchar_t* title, DWORD style, HWND parent, int cx, int cy) {
    RegisterTestClass();
    hwnd_ = CreateWindowExW(0, kClassName, title, style, 0, 0, cx, cy, parent, nullptr, GetModuleHandleW(nullptr),
                            nullptr);
}

TestWindow::~TestWindow() {
    if (hwnd_ != nullptr && IsWindow(hwnd_)) DestroyWindow(hwnd_);
}

void DrainQueue() {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
}

bool IsPending(HWND window, UINT message) {
    MSG m;
    return PeekMessageW(&m, window, message, message, PM_NOREMOVE | PM_NOYIELD) != FALSE;
}

} // namespace tavelin::hosttest
