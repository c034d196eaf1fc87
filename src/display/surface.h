// The Surface port: the drawing operations the saver window uses, implemented
// with GDI in platform/win32 and by a recording double in tests.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "core/settings_values.h"
#include "core/window_messages.h"
#include "display/rect.h"

namespace tavelin {

enum class FontKind : uint8_t { Line, News };

struct TextSize {
    int32_t cx = 0;
    int32_t cy = 0;
};

struct FontMetrics {
    int32_t tmHeight = 0;
    int32_t tmExternalLeading = 0;
};

class Surface {
public:
    virtual ~Surface() = default;

    // --- start-up: the window's device context is held from Open to Close
    virtual bool OpenWindowDc(WindowHandle window) = 0;
    virtual int32_t DisplayWidth() = 0;  // HORZRES
    virtual int32_t DisplayHeight() = 0; // VERTRES
    // The monitors the window covers, in the window's coordinates, the primary
    // first; empty when the window is one display of its own (a preview pane).
    virtual std::vector<Rect> Monitors(WindowHandle window) = 0;
    // The one back buffer of cx x cy every frame is composed in.
    virtual bool CreateBackBuffer(int32_t cx, int32_t cy) = 0;
    // The logo bitmap (resource 103), held in its own memory context.
    virtual bool LoadLogo() = 0;
    virtual bool CreateFonts(const LogFont& line, const LogFont& news) = 0;
    // Extent of text in that font; 0 x 0 when it cannot be measured.
    virtual TextSize MeasureText(FontKind font, std::u16string_view text) = 0;
    virtual std::optional<FontMetrics> MeasureFont(FontKind font) = 0;
    // Background black, then the device context goes back to the window.
    virtual void CloseWindowDc() = 0;

    // --- pictures: what a line, the logo or the news looks like, drawn once
    // off-screen when it comes on and copied into each frame. A slot holds one
    // picture; keeping a new one in a slot replaces the old.
    // Keeps text drawn transparent on black, colour 0x00BBGGRR, and returns the
    // box, relative to the text's top-left corner, outside which it left no
    // ink; nullopt when it could not be kept or its ink may reach farther.
    virtual std::optional<Rect> KeepText(uint32_t slot, FontKind font, TextSize size, uint32_t colour,
                                         std::u16string_view text) = 0;
    // Keeps the whole logo stretched to cx x cy, COLORONCOLOR.
    virtual std::optional<Rect> KeepLogo(uint32_t slot, int32_t cx, int32_t cy) = 0;
    virtual void DropPicture(uint32_t slot) = 0;

    // --- frames. A whole frame is composed in the back buffer and copied to
    // the window; a frame of changes clears and puts straight onto the window,
    // which must then hold the last frame shown.
    enum class Frame : uint8_t { Whole, Changes };
    virtual bool BeginFrame(WindowHandle window, Frame kind) = 0;
    virtual void Clear(const Rect& area) = 0; // black
    // The picture's ink box within area, with the picture's top-left corner at
    // (x, y). Nothing outside area is touched: the window may be larger than
    // the display (other monitors), and only the display is the saver's.
    virtual void PutPicture(uint32_t slot, int32_t x, int32_t y, const Rect& area) = 0;
    // Transparent text with its top-left corner at (x, y); colour is 0x00BBGGRR.
    // size is the text's extent as measured at start-up. Whole frames only.
    virtual void DrawTextAt(FontKind font, int32_t x, int32_t y, TextSize size, uint32_t colour,
                            std::u16string_view text) = 0;
    // The whole logo stretched onto the rectangle, COLORONCOLOR. Whole frames only.
    virtual void DrawLogo(int32_t x, int32_t y, int32_t cx, int32_t cy) = 0;
    // This area of the frame is done: it goes to the screen now.
    virtual void Show(const Rect& area) = 0;
    virtual void EndFrame() = 0;

    // --- shut-down
    virtual void ReleaseLogo() = 0;
    virtual void ReleaseDrawing() = 0; // fonts, pictures and back buffer
};

} // namespace tavelin
