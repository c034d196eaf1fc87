// What reaches the window: after frames that copy only what changed, the window
// shows exactly what the back buffer holds.
// The portable headers come before the platform's, whose macros share names with them.
#include <gtest/gtest.h>

#include "platform/win32/surface_gdi.h"
#include "platform/win32/surface_solid_bitmap.h"

#include <windows.h>

namespace tavelin {
namespace {

using win32::GdiSurface;

LogFont Font(int32_t height, bool italic) {
    LogFont lf;
    lf.lfHeight = height;
    lf.lfWeight = 700;
    lf.lfItalic = italic ? 1 : 0;
    const std::u16string face = u"Times New Roman";
    std::copy(face.begin(), face.end(), lf.lfFaceName);
    return lf;
}

TEST(WindowCopy, WindowMatchesTheBackBufferAfterPartialFrames) {
    GdiSurface surface;
    surface.UseLogo(win32::CreateSolidBitmap(364, 364, 0x0000FF00));
    ASSERT_TRUE(surface.OpenWindowDc(nullptr));
    ASSERT_TRUE(surface.CreateBackBuffer(1920, 1080));
    ASSERT_TRUE(surface.LoadLogo());
    ASSERT_TRUE(surface.CreateFonts(Font(-60, true), Font(-30, false)));
    const TextSize size = surface.MeasureText(FontKind::Line, u"Wolf: italic overhang");
    surface.CloseWindowDc();

    // Two lines and the logo move left; 27 frames cross a whole-frame refresh.
    for (int frame = 0; frame < 27; ++frame) {
        ASSERT_TRUE(surface.BeginFrame(nullptr));
        surface.DrawTextAt(FontKind::Line, 900 - 4 * frame, 200, size, 0x00FFFFFF, u"Wolf: italic overhang");
        surface.DrawTextAt(FontKind::Line, 1500 - 3 * frame, 500, size, 0x0000FFFF, u"Wolf: italic overhang");
        surface.DrawLogo(1200 - 2 * frame, 800, 90, 90);
        surface.EndFrame();
    }

    HDC screen = GetDC(nullptr);
    ASSERT_NE(screen, nullptr);
    int lit = 0, mismatches = 0;
    for (int y = 150; y < 950; y += 2) {
        for (int x = 700; x < 1920; x += 2) {
            const uint32_t buffer = surface.BackBufferPixel(x, y);
            lit += buffer != 0;
            mismatches += GetPixel(screen, x, y) != buffer;
        }
    }
    ReleaseDC(nullptr, screen);
    EXPECT_GT(lit, 1000);
    EXPECT_EQ(mismatches, 0);
}

} // namespace
} // namespace tavelin
