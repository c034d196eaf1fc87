// SetDlgItemTextW, GetDlgItemInt, the check-box calls, ChooseFontW and
// EndDialog behind the DialogOps port.
// The port headers come first: <windows.h> defines the message names as macros.
#include "platform/win32/dialog_ops_win32.h"

#include <windows.h>
#include <commdlg.h>

#include <cstring>

#include "platform/win32/wide.h"

namespace tavelin::win32 {

static_assert(sizeof(LOGFONTW) == sizeof(LogFont), "the stored font record is the platform's LOGFONTW");

namespace {
HWND Hwnd(WindowHandle w) { return static_cast<HWND>(w); }
} // namespace

void Win32DialogOps::SetText(int id, std::u16string_view text) {
    SetDlgItemTextW(Hwnd(dialog_), id, to_wide(text).c_str());
}

uint32_t Win32DialogOps::GetNumber(int id) {
    BOOL ok = FALSE;
    const UINT value = GetDlgItemInt(Hwnd(dialog_), id, &ok, FALSE);
    return ok ? value : 0;
}

void Win32DialogOps::SetCheck(int id, bool checked) {
    CheckDlgButton(Hwnd(dialog_), id, checked ? BST_CHECKED : BST_UNCHECKED);
}

bool Win32DialogOps::IsChecked(int id) { return IsDlgButtonChecked(Hwnd(dialog_), id) == BST_CHECKED; }

bool Win32DialogOps::RunFontChoice(FontRequest& request) {
    LOGFONTW lf;
    std::memcpy(&lf, request.lpLogFont, sizeof lf);
    CHOOSEFONTW cf{};
    // The record's own size on this platform (60 bytes only in 32-bit builds).
    cf.lStructSize = sizeof cf;
    cf.hwndOwner = Hwnd(request.hwndOwner);
    cf.lpLogFont = &lf;
    cf.iPointSize = request.iPointSize;
    cf.Flags = request.Flags;
    cf.rgbColors = request.rgbColors;
    if (!ChooseFontW(&cf)) return false;
    std::memcpy(static_cast<void*>(request.lpLogFont), &lf, sizeof lf);
    request.iPointSize = cf.iPointSize;
    return true;
}

void Win32DialogOps::End(intptr_t result) { EndDialog(Hwnd(dialog_), result); }

LogFont Win32DialogOps::SystemFont() {
    LogFont font;
    LOGFONTW lf{};
    if (GetObjectW(GetStockObject(SYSTEM_FONT), sizeof lf, &lf) == sizeof lf) std::memcpy(static_cast<void*>(&font), &lf, sizeof lf);
    return font;
}

} // namespace tavelin::win32
