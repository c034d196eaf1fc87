// SCREENSAVERCONFIGUREDIALOG: the configuration dialog's procedure over DialogOps.
#include "settings/config_dialog.h"

#include <algorithm>
#include <cstring>

#include "core/text.h"
#include "settings/registry_values.h"

namespace tavelin {

namespace {

constexpr uint32_t kFaceNameBytes = 128; // 64 units
constexpr size_t kFaceNameUnits = 32;    // of the font record, NUL included

uint32_t LowWord(WParam w) { return static_cast<uint32_t>(w & 0xFFFF); }

std::u16string_view FaceOf(const LogFont& lf) { return UpToNul(std::u16string_view(lf.lfFaceName, kFaceNameUnits)); }

} // namespace

bool ConfigDialog::SCREENSAVERCONFIGUREDIALOG(uint32_t message, WParam wParam, LParam) {
    if (message == msg::WM_INITDIALOG) return OnInitDialog();
    if (message != msg::WM_COMMAND) return false;
    switch (LowWord(wParam)) {
    case dialog_id::kOk: return OnOk();
    case dialog_id::kCancel: return OnCancel();
    case dialog_id::kFont: return OnFont();
    default: return false;
    }
}

bool ConfigDialog::OnInitDialog() {
    dwMaxShowStrings = 7;
    dwLog = dwExtra = dwLogo = 0;
    settings_.lf = ops_.SystemFont();
    const OpenResult opened = store_.CreateOrOpen(Hive::LocalMachine, kSettingsPath);
    if (opened.ok) {
        hKey_ = opened.key;
        keyAnswer_ = opened.createdNew ? KeyAnswer::CreatedNew : KeyAnswer::Existed;
        if (!opened.createdNew) ReadStored();
    }
    log_.gLogEnabled = dwLog != 0;
    settings_.gExtraEnabled = dwExtra != 0;
    settings_.gLogoEnabled = dwLogo != 0;
    if (log_.gLogEnabled) log_.Open();
    log_.Write(u"SCREENSAVERCONFIGUREDIALOG dwMaxShowStrings=%u", dwMaxShowStrings);
    ShowValues();
    return true;
}

void ConfigDialog::ReadStored() {
    ReadDword(store_, hKey_, u"MaxShowStrings", dwMaxShowStrings);
    ReadDword(store_, hKey_, u"Log", dwLog);
    ReadDword(store_, hKey_, u"Extra", dwExtra);
    ReadDword(store_, hKey_, u"Logo", dwLogo);
    ReadText(store_, hKey_, u"lfFaceName", kFaceNameBytes, szFaceName);
    const std::u16string_view face = std::u16string_view(szFaceName).substr(0, kFaceNameUnits - 1);
    std::fill(std::begin(settings_.lf.lfFaceName), std::end(settings_.lf.lfFaceName), u'\0');
    std::copy(face.begin(), face.end(), settings_.lf.lfFaceName);
    ReadFont(store_, hKey_, settings_.lf);
}

void ConfigDialog::ShowValues() {
    std::u16string pMaxShowStrings;
    INTTOSTRING(log_, static_cast<int32_t>(dwMaxShowStrings), pMaxShowStrings);
    log_.Write(u"SCREENSAVERCONFIGUREDIALOG pMaxShowStrings=|%s|", pMaxShowStrings);
    ops_.SetText(dialog_id::kShowStrings, pMaxShowStrings);
    ops_.SetCheck(dialog_id::kLog, dwLog != 0);
    ops_.SetCheck(dialog_id::kGrammar, dwExtra != 0);
    ops_.SetCheck(dialog_id::kLogo, dwLogo != 0);
    ops_.SetText(dialog_id::kVersion, kDialogVersionText);
}

bool ConfigDialog::OnOk() {
    const uint32_t number = ops_.GetNumber(dialog_id::kShowStrings);
    dwMaxShowStrings = number == 0 ? 1 : std::min<uint32_t>(number, 10);
    dwLog = ops_.IsChecked(dialog_id::kLog) ? 1 : 0;
    dwExtra = ops_.IsChecked(dialog_id::kGrammar) ? 1 : 0;
    dwLogo = ops_.IsChecked(dialog_id::kLogo) ? 1 : 0;
    if (hKey_ != nullptr) {
        WriteDword(store_, hKey_, u"MaxShowStrings", dwMaxShowStrings);
        WriteDword(store_, hKey_, u"Log", dwLog);
        WriteDword(store_, hKey_, u"Extra", dwExtra);
        WriteDword(store_, hKey_, u"Logo", dwLogo);
        CloseKey();
    }
    ops_.End(1);
    return true;
}

bool ConfigDialog::OnCancel() {
    CloseKey();
    ops_.End(0);
    return true;
}

bool ConfigDialog::OnFont() {
    cf = FontRequest{ops_.Window(), &settings_.lf, 0, kFontRequestFlags, 0};
    const bool confirmed = ops_.RunFontChoice(cf);
    if (confirmed && hKey_ != nullptr) {
        store_.Set(hKey_, u"lfFaceName", kRegSz, settings_.lf.lfFaceName, sizeof settings_.lf.lfFaceName);
        store_.Set(hKey_, u"LogicalFontStructure", kRegBinary, &settings_.lf, sizeof settings_.lf);
    }
    LogFontFields();
    return true;
}

void ConfigDialog::LogFontFields() {
    const LogFont& lf = settings_.lf;
    log_.Write(u"lf.lfHeight=%li", lf.lfHeight);
    log_.Write(u"lf.lfWidth=%li", lf.lfWidth);
    log_.Write(u"lf.lfEscapement=%li", lf.lfEscapement);
    log_.Write(u"lf.lfOrientation=%li", lf.lfOrientation);
    log_.Write(u"lf.lfWight=%li", lf.lfWeight);
    log_.Write(u"lf.lfItalic=%hu", static_cast<uint16_t>(lf.lfItalic));
    log_.Write(u"lf.lfUnderline=%hu", static_cast<uint16_t>(lf.lfUnderline));
    log_.Write(u"lf.lfStrikeOut=%hu", static_cast<uint16_t>(lf.lfStrikeOut));
    log_.Write(u"lf.lfCharSet=%hu", static_cast<uint16_t>(lf.lfCharSet));
    log_.Write(u"lf.lfOutPrecision=%hu", static_cast<uint16_t>(lf.lfOutPrecision));
    log_.Write(u"lf.lfClipPrecision=%hu", static_cast<uint16_t>(lf.lfClipPrecision));
    log_.Write(u"lf.lfQuality=%hu", static_cast<uint16_t>(lf.lfQuality));
    log_.Write(u"lf.lfPitchAndFamily=%hu", static_cast<uint16_t>(lf.lfPitchAndFamily));
    log_.Write(u"lf.lfFaceName=%s", FaceOf(lf));
}

void ConfigDialog::CloseKey() {
    if (hKey_ != nullptr) store_.Close(hKey_);
    hKey_ = nullptr;
}

} // namespace tavelin
