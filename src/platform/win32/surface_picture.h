// One kept picture of the GDI surface: a text or the stretched logo drawn once
// on black in a 32-bit bitmap of its own, copied into the back buffer per frame.
#pragma once

// The portable headers come first: their message names must not meet the
// platform's macros of the same names.
#include "display/rect.h"
#include "display/surface.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "platform/win32/surface_gdi_objects.h"
#include "platform/win32/text_layout_win32.h"

namespace tavelin::win32 {

class GdiPicture {
public:
    // Text drawn transparent at a margin from the bitmap's edges; the box its
    // ink fills, relative to the text's corner, or nullopt when the ink reaches
    // the bitmap's edge (and so may reach farther) or no bitmap can be had.
    // A shaped text is drawn from its glyphs, any other with the plain call.
    std::optional<Rect> RenderText(HDC compatibleWith, HFONT font, TextSize size, uint32_t colour,
                                   std::wstring_view text, const ShapedText* shaped = nullptr);
    std::optional<Rect> StretchLogo(HDC compatibleWith, const SelectedBitmap& logo, int32_t cx, int32_t cy);
    // The ink box within area, with the text's corner at (x, y).
    void Put(HDC target, int32_t x, int32_t y, const Rect& area) const;
    void Release() { bitmap_.reset(); }

private:
    bool Make(HDC compatibleWith, int32_t cx, int32_t cy);

    std::unique_ptr<SelectedBitmap> bitmap_;
    const uint32_t* bits_ = nullptr; // 0x00RRGGBB, top row first
    int32_t margin_ = 0;             // the text's corner is at (margin_, margin_)
    Rect ink_;                       // relative to the text's corner
};

} // namespace tavelin::win32
