// Drives the configuration dialog from outside, as a user would through its
// controls:  dialog_driver <step>...   with the steps
//   wait            wait up to 20 s for the dialog (class #32770, its caption)
//   set ID TEXT     WM_SETTEXT to control ID
//   click ID        BM_CLICK on control ID
//   text ID         print the control's text
//   checked ID      print 1 or 0
//   rect            print the dialog's client origin and size in screen pixels
// Exit 0 when every step worked, 1 when the dialog or a control is missing.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

constexpr wchar_t kCaption[] = L"Tavelin ScreenSaver Setup";

HWND WaitForDialog() {
    for (int i = 0; i < 400; ++i) {
        if (HWND dialog = FindWindowW(L"#32770", kCaption)) return dialog;
        Sleep(50);
    }
    return nullptr;
}

void PrintUtf8(const std::wstring& text) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(bytes > 0 ? bytes : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), bytes, nullptr, nullptr);
    std::printf("%s\n", out.c_str());
}

bool Step(HWND& dialog, wchar_t** argv, int argc, int& i) {
    const std::wstring step = argv[i];
    if (step == L"wait") return (dialog = WaitForDialog()) != nullptr;
    if (dialog == nullptr && (dialog = FindWindowW(L"#32770", kCaption)) == nullptr) return false;
    if (step == L"rect") {
        RECT r{};
        POINT origin{0, 0};
        GetClientRect(dialog, &r);
        ClientToScreen(dialog, &origin);
        std::printf("%ld %ld %ld %ld\n", origin.x, origin.y, r.right, r.bottom);
        return true;
    }
    if (i + 1 >= argc) return false;
    HWND control = GetDlgItem(dialog, _wtoi(argv[++i]));
    if (control == nullptr) return false;
    if (step == L"set" && i + 1 < argc) return SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[++i]));
    if (step == L"click") {
        SendMessageW(control, BM_CLICK, 0, 0);
        return true;
    }
    if (step == L"text") {
        // GetWindowTextW would not ask a control of another process for its text.
        wchar_t text[256] = {};
        SendMessageW(control, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text));
        PrintUtf8(text);
        return true;
    }
    if (step == L"checked") {
        std::printf("%d\n", SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0);
        return true;
    }
    return false;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    HWND dialog = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (!Step(dialog, argv, argc, i)) {
            std::fprintf(stderr, "dialog_driver: step %d failed\n", i);
            return 1;
        }
        std::fflush(stdout);
    }
    return 0;
}
