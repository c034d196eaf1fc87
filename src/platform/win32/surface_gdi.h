// The Surface port over GDI: one back buffer kept from frame to frame in a
// memory context, the pictures of what is on screen in bitmaps of their own,
// the changed areas copied to the window; fonts and the logo bitmap.
#pragma once

#include <cstdint>
#include <memory>

#include "display/surface.h"

namespace tavelin::win32 {

class GdiSurface : public Surface {
public:
    GdiSurface();
    ~GdiSurface() override;

    // An HBITMAP to use in place of resource 103; the surface owns it from now on.
    void UseLogo(void* bitmap);
    // The back buffer's pixel as 0x00BBGGRR, or 0xFFFFFFFF outside it (for checks).
    uint32_t BackBufferPixel(int32_t x, int32_t y) const;

    bool OpenWindowDc(WindowHandle window) override;
    int32_t DisplayWidth() override;
    int32_t DisplayHeight() override;
    std::vector<Rect> Monitors(WindowHandle window) override;
    bool CreateBackBuffer(int32_t cx, int32_t cy) override;
    bool LoadLogo() override;
    bool CreateFonts(const LogFont& line, const LogFont& news) override;
    TextSize MeasureText(FontKind font, std::u16string_view text) override;
    std::optional<FontMetrics> MeasureFont(FontKind font) override;
    void CloseWindowDc() override;

    std::optional<Rect> KeepText(uint32_t slot, FontKind font, TextSize size, uint32_t colour,
                                 std::u16string_view text) override;
    std::optional<Rect> KeepLogo(uint32_t slot, int32_t cx, int32_t cy) override;
    void DropPicture(uint32_t slot) override;

    bool BeginFrame(WindowHandle window, Surface::Frame kind) override;
    void Clear(const Rect& area) override;
    void PutPicture(uint32_t slot, int32_t x, int32_t y, const Rect& area) override;
    void DrawTextAt(FontKind font, int32_t x, int32_t y, TextSize size, uint32_t colour,
                    std::u16string_view text) override;
    void DrawLogo(int32_t x, int32_t y, int32_t cx, int32_t cy) override;
    void Show(const Rect& area) override;
    void EndFrame() override;

    void ReleaseLogo() override;
    void ReleaseDrawing() override;

private:
    static void PushToScreen();

    struct State;
    std::unique_ptr<State> s_;
};

} // namespace tavelin::win32
