// The configuration dialog's procedure and its own state for one run:
// start values, the settings key kept open, OK, Cancel and the Font button.
#pragma once

#include <cstdint>
#include <string>

#include "core/log.h"
#include "core/settings_values.h"
#include "core/window_messages.h"
#include "settings/dialog_ops.h"
#include "settings/registry_store.h"

namespace tavelin {

namespace dialog_id {
inline constexpr int kTemplate = 2003;
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;
inline constexpr int kFont = 1000;
inline constexpr int kShowStringsLabel = 1002;
inline constexpr int kShowStrings = 1003;
inline constexpr int kLog = 1004;
inline constexpr int kVersionLabel = 1005;
inline constexpr int kVersion = 1006;
inline constexpr int kGrammar = 1007;
inline constexpr int kLogo = 1008;
} // namespace dialog_id

inline constexpr std::u16string_view kDialogVersionText = u"1, 6, 3, 171";

// Writes the decimal form of number into text, logging each step.
void INTTOSTRING(Log& log, int32_t number, std::u16string& text);

class ConfigDialog {
public:
    ConfigDialog(RegistryStore& store, Log& log, SaverSettings& settings, DialogOps& ops)
        : store_(store), log_(log), settings_(settings), ops_(ops) {}
    ~ConfigDialog() { CloseKey(); }
    ConfigDialog(const ConfigDialog&) = delete;
    ConfigDialog& operator=(const ConfigDialog&) = delete;

    // True when it handled the message.
    bool SCREENSAVERCONFIGUREDIALOG(uint32_t message, WParam wParam, LParam lParam);

    // The dialog's copies of the stored settings.
    uint32_t dwMaxShowStrings = 7;
    uint32_t dwLog = 0;
    uint32_t dwExtra = 0;
    uint32_t dwLogo = 0;
    std::u16string szFaceName; // the stored face name, at most 63 units
    FontRequest cf;

private:
    enum class KeyAnswer : uint8_t { None, CreatedNew, Existed };

    bool OnInitDialog();
    bool OnOk();
    bool OnCancel();
    bool OnFont();
    void ReadStored();
    void ShowValues();
    void LogFontFields();
    void CloseKey();

    RegistryStore& store_;
    Log& log_;
    SaverSettings& settings_;
    DialogOps& ops_;
    RegistryKey hKey_ = nullptr; // open from the start until OK or Cancel
    KeyAnswer keyAnswer_ = KeyAnswer::None;
};

} // namespace tavelin
