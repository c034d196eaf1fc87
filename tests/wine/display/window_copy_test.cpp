// What reaches the window: after many moving frames, and after something else
// painted over it, the window shows exactly the last frame composed on its own.
// The portable headers come before the platform's, whose macros share names with them.
#include <gtest/gtest.h>

#include <vector>

#include "platform/win32/surface_gdi.h"
#include "platform/win32/surface_solid_bitmap.h"

#include <windows.h>

namespace tavelin {
namespace {

using win32::GdiSurface;

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr std::u16string_view kText = u"Wolf: italic overhang";

LogFont Font(int32_t height, bool italic, int32_t escapement) {
    LogFont lf;
    lf.lfHeight = height;
    lf.lfWeight = 700;
    lf.lfItalic = italic ? 1 : 0;
    lf.lfEscapement = lf.lfOrientation = escapement;
    const std::u16string face = u"Times New Roman";
    std::copy(face.begin(), face.end(), lf.lfFaceName);
    return lf;
}

// A stored font may be turned: its glyphs then leave the measured extent.
void Prepare(GdiSurface& surface, TextSize& size) {
    surface.UseLogo(win32::CreateSolidBitmap(364, 364, 0x0000FF00));
    ASSERT_TRUE(surface.OpenWindowDc(nullptr));
    ASSERT_TRUE(surface.CreateBackBuffer(kWidth, kHeight));
    ASSERT_TRUE(surface.LoadLogo());
    ASSERT_TRUE(surface.CreateFonts(Font(-60, true, 0), Font(-30, false, 900)));
    size = surface.MeasureText(FontKind::Line, kText);
    surface.CloseWindowDc();
}

void Compose(GdiSurface& surface, TextSize size, int frame) {
    ASSERT_TRUE(surface.BeginFrame(nullptr));
    surface.DrawTextAt(FontKind::Line, 900 - 4 * frame, 200, size, 0x00FFFFFF, kText);
    surface.DrawTextAt(FontKind::Line, 1500 - 3 * frame, 500, size, 0x0000FFFF, kText);
    surface.DrawTextAt(FontKind::News, 600 - 5 * frame, 1000, size, 0x00FFFFFF, kText);
    surface.DrawLogo(1200 - 2 * frame, 800, 90, 90);
    surface.EndFrame();
}

// The screen as 0x00RRGGBB pixels, top row first.
std::vector<uint32_t> CaptureScreen() {
    std::vector<uint32_t> pixels;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = kWidth;
    info.bmiHeader.biHeight = -kHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    if (bitmap != nullptr && bits != nullptr && screen != nullptr && memory != nullptr) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, kWidth, kHeight, screen, 0, 0, SRCCOPY);
        GdiFlush();
        const auto* p = static_cast<const uint32_t*>(bits);
        pixels.assign(p, p + static_cast<size_t>(kWidth) * kHeight);
        SelectObject(memory, old);
    }
    if (memory != nullptr) DeleteDC(memory);
    if (screen != nullptr) ReleaseDC(nullptr, screen);
    if (bitmap != nullptr) DeleteObject(bitmap);
    for (uint32_t& p : pixels) p &= 0x00FFFFFFu;
    return pixels;
}

uint32_t AsScreenPixel(uint32_t colorref) {
    return (colorref & 0xFFu) << 16 | (colorref & 0xFF00u) | (colorref >> 16 & 0xFFu);
}

TEST(WindowCopy, WindowShowsTheLastFrameAloneAfterMovingFramesAndAnOverpaint) {
    constexpr int kFrames = 27; // crosses a second of frames
    GdiSurface moving;
    TextSize size;
    ASSERT_NO_FATAL_FAILURE(Prepare(moving, size));
    for (int frame = 0; frame < kFrames - 1; ++frame) ASSERT_NO_FATAL_FAILURE(Compose(moving, size, frame));
    HDC screen = GetDC(nullptr);
    ASSERT_NE(screen, nullptr);
    RECT stray{100, 300, 400, 450}; // painted by someone else, where no line goes
    FillRect(screen, &stray, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    ReleaseDC(nullptr, screen);
    ASSERT_NO_FATAL_FAILURE(Compose(moving, size, kFrames - 1));
    const std::vector<uint32_t> shown = CaptureScreen();
    ASSERT_EQ(shown.size(), static_cast<size_t>(kWidth) * kHeight);

    // The same last frame on a canvas that never held another.
    GdiSurface fresh(GdiSurface::BufferPolicy::PerFrame);
    ASSERT_NO_FATAL_FAILURE(Prepare(fresh, size));
    ASSERT_NO_FATAL_FAILURE(Compose(fresh, size, kFrames - 1));
    int lit = 0, mismatches = 0;
    for (int y = 0; y < kHeight; y += 2) {
        for (int x = 0; x < kWidth; x += 2) {
            const uint32_t expected = AsScreenPixel(fresh.BackBufferPixel(x, y));
            lit += expected != 0;
            mismatches += shown[static_cast<size_t>(y) * kWidth + static_cast<size_t>(x)] != expected;
        }
    }
    EXPECT_GT(lit, 1000);
    EXPECT_EQ(mismatches, 0);
}

} // namespace
} // namespace tavelin
