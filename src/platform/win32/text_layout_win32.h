// A text shaped once with Uniscribe and drawn from its glyphs as often as
// needed: split into runs by script and direction, each run in a font that has
// its characters, the runs in visual order on one baseline.
#pragma once

#include <windows.h>
#include <usp10.h>

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/win32/text_fonts_win32.h"

namespace tavelin::win32 {

class ShapedText {
public:
    // Whether text needs shaping: a complex script, or characters the style's
    // own font lacks. Any other text is drawn by the plain text call, as it was.
    static bool Needed(HDC dc, TextFonts& fonts, std::wstring_view text);
    // nullopt when Uniscribe cannot take the text.
    static std::optional<ShapedText> Shape(HDC dc, TextFonts& fonts, std::wstring_view text);

    // Width of all runs; height the style's row height, or more where a
    // fallback font reaches farther above or below the baseline.
    int32_t Width() const { return width_; }
    int32_t Height() const { return ascent_ + descent_; }
    // Transparent, in the context's text colour, top-left corner at (x, y).
    void Draw(HDC dc, int32_t x, int32_t y) const;

private:
    struct Run {
        ShapingFont* font;
        SCRIPT_ANALYSIS analysis;
        std::vector<WORD> glyphs;
        std::vector<int> advances;
        std::vector<GOFFSET> offsets;
        int32_t width;
    };
    // One part of the text, its runs appended in visual order.
    bool AddPart(HDC dc, TextFonts& fonts, std::wstring_view text);

    std::vector<Run> runs_; // visual order, left to right
    int32_t width_ = 0;
    int32_t ascent_ = 0;
    int32_t descent_ = 0;
};

} // namespace tavelin::win32
