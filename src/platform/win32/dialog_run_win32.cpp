// The dialog procedure that hands dialog 2003's messages to the portable
// SCREENSAVERCONFIGUREDIALOG, and the modal run around it.
// The port headers come first: <windows.h> defines the message names as macros.
#include "platform/win32/dialog_ops_win32.h"
#include "platform/win32/dialog_run.h"
#include "settings/config_dialog.h"

#include <windows.h>

#include "../../../resources/dialog_ids.h"

namespace tavelin::win32 {

static_assert(IDD_TAVELIN_SETUP == dialog_id::kTemplate && IDC_FONT == dialog_id::kFont &&
                  IDC_SHOW_STRINGS == dialog_id::kShowStrings && IDC_LOG_FILE == dialog_id::kLog &&
                  IDC_VERSION == dialog_id::kVersion && IDC_GRAMMAR == dialog_id::kGrammar &&
                  IDC_SHOW_LOGO == dialog_id::kLogo,
              "the template's ids are the procedure's");

namespace {

struct DialogRun {
    Win32DialogOps ops;
    ConfigDialog dialog;
    DialogRun(RegistryStore& store, Log& log, SaverSettings& settings) : dialog(store, log, settings, ops) {}
};

INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        reinterpret_cast<DialogRun*>(lParam)->ops.Attach(window);
    }
    auto* run = reinterpret_cast<DialogRun*>(GetWindowLongPtrW(window, DWLP_USER));
    if (run == nullptr) return FALSE;
    return run->dialog.SCREENSAVERCONFIGUREDIALOG(message, wParam, lParam) ? TRUE : FALSE;
}

} // namespace

int RunConfigurationDialog(void* instance, void* parentWindow, Log& log, RegistryStore& store,
                           SaverSettings& settings) {
    DialogRun run(store, log, settings);
    const INT_PTR result = DialogBoxParamW(static_cast<HINSTANCE>(instance), MAKEINTRESOURCEW(IDD_TAVELIN_SETUP),
                                           static_cast<HWND>(parentWindow), DialogProc,
                                           reinterpret_cast<LPARAM>(&run));
    return static_cast<int>(result);
}

int RunConfigurationDialog(void* instance, void* parentWindow, Log& log, RegistryStore& store) {
    SaverSettings settings;
    return RunConfigurationDialog(instance, parentWindow, log, store, settings);
}

} // namespace tavelin::win32
