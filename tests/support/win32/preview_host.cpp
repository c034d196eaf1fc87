// Stands in for the display settings' preview pane: a top-level window whose
// number it prints ("HWND=<n>"), reporting its child windows as they change,
// until a stop file appears. Then it destroys its window (or, with
// --no-destroy, just ends) and exits.
//   preview_host.exe STOPFILE [--no-destroy] [--size WxH]
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

constexpr UINT_PTR kPollTimer = 1;

struct HostState {
    std::wstring stopFile;
    bool destroy = true;
    std::wstring lastReport;
};

std::wstring DescribeChildren(HWND host) {
    std::wstring report;
    for (HWND child = GetWindow(host, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t cls[128] = {};
        wchar_t title[128] = {};
        GetClassNameW(child, cls, 128);
        GetWindowTextW(child, title, 128);
        RECT r{};
        GetClientRect(child, &r);
        report += L"CHILD hwnd=" + std::to_wstring(reinterpret_cast<uintptr_t>(child)) + L" class=" + cls +
                  L" title=" + title + L" size=" + std::to_wstring(r.right) + L"x" + std::to_wstring(r.bottom) +
                  L" visible=" + std::to_wstring(IsWindowVisible(child) ? 1 : 0) + L"\n";
    }
    return report.empty() ? L"NOCHILD\n" : report;
}

void Print(const std::wstring& text) {
    const std::string narrow(text.begin(), text.end()); // ASCII only: class names, titles, numbers
    std::fputs(narrow.c_str(), stdout);
    std::fflush(stdout);
}

LRESULT CALLBACK HostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* state = reinterpret_cast<HostState*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (message) {
    case WM_NCCREATE:
        SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
        break;
    case WM_TIMER:
        if (state != nullptr && wParam == kPollTimer) {
            const std::wstring report = DescribeChildren(hwnd);
            if (report != state->lastReport) Print(report);
            state->lastReport = report;
            if (GetFileAttributesW(state->stopFile.c_str()) != INVALID_FILE_ATTRIBUTES) {
                KillTimer(hwnd, kPollTimer);
                if (state->destroy) {
                    Print(L"DESTROYING\n");
                    DestroyWindow(hwnd);
                } else {
                    Print(L"LEAVING\n");
                    ExitProcess(0);
                }
            }
        }
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fputs("usage: preview_host STOPFILE [--no-destroy] [--size WxH]\n", stderr);
        return 2;
    }
    HostState state;
    state.stopFile = argv[1];
    int cx = 320, cy = 240;
    for (int i = 2; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--no-destroy") state.destroy = false;
        if (arg == L"--size" && i + 1 < argc) swscanf(argv[++i], L"%dx%d", &cx, &cy);
    }
    WNDCLASSW wc{};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    wc.lpszClassName = L"TavelinPreviewHost";
    if (!RegisterClassW(&wc)) return 3;
    // The client area is what the preview sizes itself to.
    RECT r{0, 0, cx, cy};
    AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
    HWND host = CreateWindowExW(0, wc.lpszClassName, L"Preview Host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40,
                                r.right - r.left, r.bottom - r.top, nullptr, nullptr, wc.hInstance, &state);
    if (host == nullptr) return 4;
    Print(L"HWND=" + std::to_wstring(reinterpret_cast<uintptr_t>(host)) + L"\n");
    SetTimer(host, kPollTimer, 50, nullptr);
    MSG m;
    while (GetMessageW(&m, nullptr, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
    Print(L"EXIT\n");
    return 0;
}
