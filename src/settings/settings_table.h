// The values the saver reads from its settings key, with the type each is meant
// to hold and the most it uses. The settings load reads through these entries, and
// the deployment templates (installer/policy) are checked against this table.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace tavelin {

enum class SettingKind {
    Text,   // REG_SZ; limit: the most UTF-16 units used, longer values read as absent
    Number, // REG_DWORD; limit: the largest the dialog offers (from 1)
    Flag,   // REG_DWORD; 0 off, anything else on
    Font,   // REG_BINARY; limit: the record's size in bytes
};

struct Setting {
    std::u16string_view name;
    SettingKind kind;
    uint32_t limit;

    // The read buffer of a text: its units and the NUL.
    constexpr uint32_t TextBufferBytes() const { return (limit + 1) * 2; }
};

inline constexpr Setting kFontSetting{u"LogicalFontStructure", SettingKind::Font, 92};
inline constexpr Setting kMaxShowStringsSetting{u"MaxShowStrings", SettingKind::Number, 10};
inline constexpr Setting kCompanySetting{u"Company", SettingKind::Text, 511};
inline constexpr Setting kKeyCodeSetting{u"KeyCode", SettingKind::Text, 1023};
inline constexpr Setting kLogSetting{u"Log", SettingKind::Flag, 1};
inline constexpr Setting kExtraSetting{u"Extra", SettingKind::Flag, 1};
inline constexpr Setting kLogoSetting{u"Logo", SettingKind::Flag, 1};
inline constexpr Setting kFeedHostSetting{u"FeedHost", SettingKind::Text, 255};
inline constexpr Setting kRecallSetting{u"Recall", SettingKind::Flag, 1};

// In the order the load reads them.
inline constexpr std::array kSettingsTable{kFontSetting,     kMaxShowStringsSetting, kCompanySetting,
                                           kKeyCodeSetting,  kLogSetting,            kExtraSetting,
                                           kLogoSetting,     kFeedHostSetting,       kRecallSetting};

} // namespace tavelin
