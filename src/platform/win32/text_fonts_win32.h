// The fonts one text style draws with: its own font, and for characters it
// lacks, another installed font that has them, at the same height, weight and
// slant. A fallback is found among the installed families by what their own
// character maps hold, so it needs no list of face names and works with
// whatever fonts the machine has.
#pragma once

#include <windows.h>
#include <usp10.h>

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/surface_gdi_objects.h"

namespace tavelin::win32 {

// One font with its Uniscribe cache and metrics.
struct ShapingFont {
    ShapingFont() = default;
    ~ShapingFont() { ScriptFreeCache(&cache); }
    ShapingFont(const ShapingFont&) = delete;
    ShapingFont& operator=(const ShapingFont&) = delete;

    HFONT font = nullptr; // owned by `owned`, or by the surface for the style's own font
    ScopedGdiObject<HFONT> owned;
    SCRIPT_CACHE cache = nullptr;
    TEXTMETRICW metrics{};
};

class TextFonts {
public:
    // base: the style's own font, which the caller keeps alive.
    TextFonts(HDC dc, HFONT base);
    TextFonts(const TextFonts&) = delete;
    TextFonts& operator=(const TextFonts&) = delete;

    ShapingFont& Base() { return base_; }
    // True when font has a glyph for every character of text that needs one.
    static bool Covers(HDC dc, ShapingFont& font, std::wstring_view text);
    // The font for a run of one script: the style's own when it has every
    // character, else the best installed family that has them all; the style's
    // own when none has (it then shows what it shows for missing glyphs).
    ShapingFont& For(HDC dc, WORD script, std::wstring_view text);

private:
    struct Family {
        std::wstring face;
        int score; // likeness to the style's own font: kind, pitch, weight
    };
    void ListFamilies(HDC dc);
    ShapingFont* Open(HDC dc, const std::wstring& face);

    LOGFONTW style_{};
    ShapingFont base_;
    bool listed_ = false;
    std::vector<Family> families_;                              // best first
    std::map<std::wstring, std::unique_ptr<ShapingFont>> open_; // by face; null when it cannot be made
    std::map<WORD, ShapingFont*> byScript_;                     // last choice per script
    ShapingFont* last_ = nullptr;                               // the last fallback chosen
};

} // namespace tavelin::win32
