// The GDI surface against the real GDI: frames composed in the back buffer are
// read back pixel by pixel, through the port and through the saver window.
#include <gtest/gtest.h>

#include <string>

#include "core/text.h"
#include "display/saver_window.h"
#include "display/timer_ids.h"
#include "fakes/fake_clock.h"
#include "fakes/memory_log_file.h"
#include "platform/win32/saver_timers_win32.h"
#include "platform/win32/surface_gdi.h"
#include "support/times_new_roman.h"
#include "platform/win32/surface_solid_bitmap.h"

namespace tavelin {
namespace {

using win32::GdiSurface;

constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kLogoColour = 0x00FF8000; // blue 255, green 128, red 0

void* SolidLogo(uint32_t colour) { return win32::CreateSolidBitmap(364, 364, colour); }

struct Box {
    int32_t x, y, cx, cy;
    bool Contains(int32_t px, int32_t py) const { return px >= x && px < x + cx && py >= y && py < y + cy; }
};

int CountColour(const GdiSurface& s, const Box& box, uint32_t colour) {
    int count = 0;
    for (int32_t y = box.y; y < box.y + box.cy; ++y)
        for (int32_t x = box.x; x < box.x + box.cx; ++x) count += s.BackBufferPixel(x, y) == colour;
    return count;
}

// Every pixel of a coarse grid that lies outside all boxes is black.
void ExpectBlackOutside(const GdiSurface& s, std::initializer_list<Box> boxes) {
    int checked = 0;
    for (int32_t y = 0; y < 1080; y += 7) {
        for (int32_t x = 0; x < 1920; x += 7) {
            bool inside = false;
            for (const Box& b : boxes) inside = inside || b.Contains(x, y);
            if (inside) continue;
            ++checked;
            ASSERT_EQ(s.BackBufferPixel(x, y), kBlack) << "at " << x << "," << y;
        }
    }
    EXPECT_GT(checked, 30000);
}

constexpr Rect kScreen{0, 0, 1920, 1080};

TEST(SurfaceGdi, FrameOfTwoLinesLogoAndNewsReadsBackPixelByPixel) {
    GdiSurface surface;
    surface.UseLogo(SolidLogo(kLogoColour));
    ASSERT_TRUE(surface.OpenWindowDc(nullptr));
    ASSERT_EQ(surface.DisplayWidth(), 1920);
    ASSERT_EQ(surface.DisplayHeight(), 1080);
    ASSERT_TRUE(surface.CreateBackBuffer(1920, 1080));
    ASSERT_TRUE(surface.LoadLogo());
    ASSERT_TRUE(surface.CreateFonts(testing::TimesNewRoman(-50), testing::TimesNewRoman(-25)));
    const TextSize alpha = surface.MeasureText(FontKind::Line, u"Alpha: beta");
    const TextSize gamma = surface.MeasureText(FontKind::Line, u"Gamma: delta");
    const TextSize news = surface.MeasureText(FontKind::News, u"Headline of the day");
    const auto metrics = surface.MeasureFont(FontKind::Line);
    surface.CloseWindowDc();
    ASSERT_GT(alpha.cx, 100);
    ASSERT_GE(alpha.cy, 40);
    ASSERT_TRUE(metrics.has_value());
    EXPECT_LT(news.cy, alpha.cy); // the news font is half as high

    const uint32_t colourA = 0x0064C8FF, colourB = 0x00FFC864;
    const Box boxA{100, 100, alpha.cx, alpha.cy}, boxB{700, 400, gamma.cx, gamma.cy};
    const Box logo{1200, 600, 75, 75}, ticker{40, 1080 - news.cy - 2, news.cx, news.cy};
    ASSERT_TRUE(surface.BeginFrame(nullptr, Surface::Frame::Whole));
    surface.Clear(kScreen);
    surface.DrawTextAt(FontKind::Line, boxA.x, boxA.y, alpha, colourA, u"Alpha: beta");
    surface.DrawTextAt(FontKind::Line, boxB.x, boxB.y, gamma, colourB, u"Gamma: delta");
    surface.DrawLogo(logo.x, logo.y, logo.cx, logo.cy);
    surface.DrawTextAt(FontKind::News, ticker.x, ticker.y, news, kWhite, u"Headline of the day");
    surface.Show(kScreen);
    surface.EndFrame();

    EXPECT_GT(CountColour(surface, boxA, colourA), 50);
    EXPECT_EQ(CountColour(surface, boxA, colourB), 0);
    EXPECT_GT(CountColour(surface, boxB, colourB), 50);
    EXPECT_EQ(CountColour(surface, logo, kLogoColour), 75 * 75);
    EXPECT_GT(CountColour(surface, ticker, kWhite), 30);
    ExpectBlackOutside(surface, {boxA, boxB, logo, ticker});

    // A clear of one box leaves the others.
    ASSERT_TRUE(surface.BeginFrame(nullptr, Surface::Frame::Whole));
    surface.Clear(Rect{logo.x, logo.y, logo.cx, logo.cy});
    surface.EndFrame();
    EXPECT_EQ(CountColour(surface, logo, kBlack), 75 * 75);
    EXPECT_GT(CountColour(surface, boxA, colourA), 50);
}

TEST(SurfaceGdi, KeptPicturesReportTheirInkAndPutThePixelsDirectDrawingGives) {
    GdiSurface kept, direct;
    for (GdiSurface* s : {&kept, &direct}) {
        s->UseLogo(SolidLogo(kLogoColour));
        ASSERT_TRUE(s->OpenWindowDc(nullptr));
        ASSERT_TRUE(s->CreateBackBuffer(1920, 1080));
        ASSERT_TRUE(s->LoadLogo());
        LogFont italic = testing::TimesNewRoman(-50);
        italic.lfItalic = 1;
        ASSERT_TRUE(s->CreateFonts(testing::TimesNewRoman(-50), italic));
    }
    const std::u16string_view text = u"fjord jaffa";
    const TextSize size = kept.MeasureText(FontKind::Line, text);
    const TextSize slanted = kept.MeasureText(FontKind::News, text);
    const auto ink = kept.KeepText(0, FontKind::Line, size, 0x00FFFFFF, text);
    const auto slantedInk = kept.KeepText(1, FontKind::News, slanted, 0x0000FFFF, text);
    const auto logoInk = kept.KeepLogo(2, 61, 61);
    const auto blank = kept.KeepText(3, FontKind::Line, kept.MeasureText(FontKind::Line, u"   "), 0xFFFFFF, u"   ");
    ASSERT_TRUE(ink && slantedInk && logoInk && blank);
    EXPECT_TRUE(blank->Empty());
    EXPECT_EQ(*logoInk, (Rect{0, 0, 61, 61}));
    EXPECT_GT(ink->cx, size.cx / 2);
    EXPECT_GT(slantedInk->cx, slanted.cx / 2);
    for (GdiSurface* s : {&kept, &direct}) {
        ASSERT_TRUE(s->BeginFrame(nullptr, Surface::Frame::Whole));
        s->Clear(kScreen);
    }
    kept.PutPicture(0, -7, 100, kScreen);
    kept.PutPicture(1, 300, 300, kScreen);
    kept.PutPicture(2, 1900, 500, kScreen);
    kept.PutPicture(3, 10, 10, kScreen);
    direct.DrawTextAt(FontKind::Line, -7, 100, size, 0x00FFFFFF, text);
    direct.DrawTextAt(FontKind::News, 300, 300, slanted, 0x0000FFFF, text);
    direct.DrawLogo(1900, 500, 61, 61);
    int differing = 0, lit = 0;
    for (int32_t y = 0; y < 700; ++y)
        for (int32_t x = 0; x < 1920; ++x) {
            differing += kept.BackBufferPixel(x, y) != direct.BackBufferPixel(x, y);
            lit += direct.BackBufferPixel(x, y) != kBlack;
        }
    EXPECT_GT(lit, 1000);
    EXPECT_EQ(differing, 0);
    // Only the part within the given area is put.
    kept.Clear(kScreen);
    kept.PutPicture(2, 100, 600, Rect{0, 0, 130, 640});
    EXPECT_EQ(kept.BackBufferPixel(129, 639), kLogoColour);
    EXPECT_EQ(kept.BackBufferPixel(130, 620), kBlack);
    EXPECT_EQ(kept.BackBufferPixel(120, 640), kBlack);
    EXPECT_EQ(kept.BackBufferPixel(100, 600), kLogoColour);
    for (GdiSurface* s : {&kept, &direct}) s->EndFrame();
}

TEST(SaverWindowGdi, FrameTickDrawsActiveLinesTheLogoAndTheTicker) {
    GdiSurface surface;
    surface.UseLogo(SolidLogo(kLogoColour));
    fakes::FakeClock clock;
    fakes::MemoryLogFile files;
    Log log{files, clock};
    win32::Win32SaverTimers timers;
    SaverWindow saver{surface, timers, clock, log,
                      SaverSteps{[](SaverSettings& s, Log&) { s.gLogoEnabled = true; },
                                 [](Group& messages, News& news) {
                                     for (const char16_t* t : {u"Alpha: beta", u"Gamma: delta", u""})
                                         messages.Add(DuplicateText(t));
                                     news.gNewsString = u"Headline of the day";
                                     news.gNewsSet = true;
                                 },
                                 nullptr}};
    saver.Procedure(nullptr, msg::WM_CREATE, 0, 0);
    for (int i = 0; i < 3; ++i) saver.Procedure(nullptr, msg::WM_TIMER, ID_TURNTIMER, 0);
    ASSERT_EQ(saver.display.gActiveStrings.GetCount(), 3u);

    std::vector<Box> boxes;
    std::vector<uint32_t> colours;
    for (uint32_t i = 0; i < 3; ++i) {
        auto* line = static_cast<DisplayLine*>(saver.display.gActiveStrings.GetAt(i));
        line->cxPos = 100 + 500 * static_cast<int32_t>(i) + line->iSpeed; // after the move: 100, 600, 1100
        boxes.push_back(Box{line->cxPos - line->iSpeed, line->cyPos, line->cxSize, line->cySize});
        colours.push_back(line->pszText[0] == u'\0' ? kLogoColour : line->crText);
    }
    saver.display.cxNewsPos = 41; // the ticker fully on screen
    saver.Procedure(nullptr, msg::WM_TIMER, ID_FRAMETIMER, 0);

    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const int expected = colours[i] == kLogoColour ? boxes[i].cx * boxes[i].cy : 50;
        EXPECT_GE(CountColour(surface, boxes[i], colours[i]), expected);
    }
    const DisplayState& d = saver.display;
    const Box ticker{d.cxNewsPos, d.cyNewsPos, d.NewsSize.cx, d.NewsSize.cy};
    EXPECT_EQ(d.cxNewsPos, 40);
    EXPECT_EQ(d.cyNewsPos, 1080 - d.NewsSize.cy - 2);
    EXPECT_GT(CountColour(surface, ticker, kWhite), 30);
    ExpectBlackOutside(surface, {boxes[0], boxes[1], boxes[2], ticker});
    saver.Procedure(nullptr, msg::WM_DESTROY, 0, 0);
}

} // namespace
} // namespace tavelin
