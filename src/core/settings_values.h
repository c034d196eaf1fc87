// The in-memory settings of one run, filled by the settings load and read by
// the display engine, the feed client and the dialog. gLogEnabled lives in Log.
#pragma once

#include <cstdint>
#include <string>

namespace tavelin {

// The platform's 92-byte logical-font record, byte for byte as it is stored.
struct LogFont {
    int32_t lfHeight = 0; // 0: no font set
    int32_t lfWidth = 0;
    int32_t lfEscapement = 0;
    int32_t lfOrientation = 0;
    int32_t lfWeight = 0;
    uint8_t lfItalic = 0;
    uint8_t lfUnderline = 0;
    uint8_t lfStrikeOut = 0;
    uint8_t lfCharSet = 0;
    uint8_t lfOutPrecision = 0;
    uint8_t lfClipPrecision = 0;
    uint8_t lfQuality = 0;
    uint8_t lfPitchAndFamily = 0;
    char16_t lfFaceName[32] = {}; // NUL-terminated
};
static_assert(sizeof(LogFont) == 92, "LogFont must match the stored 92-byte record");

struct SaverSettings {
    LogFont lf;                    // line font; lfHeight 0 means the default font
    uint32_t dwMaxShowStrings = 0; // most lines on screen; 0 stands for 7
    bool gExtraEnabled = false;    // grammar notes in each composed line
    bool gLogoEnabled = false;     // logo placeholder line and its drawing
    bool gRecallEnabled = false;   // "Recall": a day's word shows alone until mid-screen
    std::u16string szCompany;      // at most 511 units
    std::u16string szKeyCode;      // at most 1,023 units
    std::u16string szFeedHost;     // "FeedHost"; empty: the build-time default host
};

} // namespace tavelin
