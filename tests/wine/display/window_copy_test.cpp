// What reaches the window: after every frame of a scrolling saver the window
// holds exactly the frame composed from scratch on a fresh canvas, for an
// upright, an italic and a turned font, for texts partly in other fonts, and
// after something else drew on it; with Recall, over frames in which words are
// revealed and lines come back hidden.
// The portable headers come before the platform's, whose macros share names with them.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "display/timer_ids.h"
#include "fakes/fake_clock.h"
#include "fakes/memory_log_file.h"
#include "platform/win32/surface_solid_bitmap.h"
#include "support/saver_in_window.h"

#include <windows.h>

#include "platform/win32/surface_gdi_objects.h"
#include "platform/win32/text_layout_win32.h"

namespace tavelin {
namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kFrames = 300;
constexpr uint32_t kLogoColour = 0x0040A0FF;
constexpr const char16_t* kTexts[] = {
    u"der Apfel: the apple",  u"die Birne: the pear",     u"fjord: jaffa, Ärger",    u"laufen: to run",
    u"die Zeitung: the paper", u"schnell: quick, fast",   u"der Bahnhof: the station", u"",
    u"wolfsjagd: wolf hunt",   u"Öffnung: opening",
};
constexpr char16_t kNews[] = u"Today: a new word every few seconds, and the news runs along the bottom";
// Letters the line font lacks, in every line but one and in the news.
constexpr const char16_t* kScriptTexts[] = {
    u"猫: cat",   u"كتاب: book", u"שלום: peace", u"สวัสดี: hello", u"नमस्ते: hello", u"사랑: love",
    u"ねこ: cat", u"",           u"спасибо: thanks", u"电脑: computer",
};
constexpr char16_t kScriptNews[] = u"Today: 今日 and اليوم, the news in other scripts too";

// A 32-bit top-down DIB section of the screen's size, black when made.
struct Canvas {
    Canvas() {
        if (HBITMAP bitmap = win32::CreateTopDownDib(nullptr, kWidth, kHeight, &bits))
            selected.emplace(nullptr, bitmap, kWidth, kHeight);
    }
    bool ok() const { return bits != nullptr && selected && selected->ok(); }
    HDC dc() const { return selected->dc.get(); }

    void* bits = nullptr;
    std::optional<win32::SelectedBitmap> selected;
};

// Counts the pictures put, to tell kept pictures from direct drawing.
struct CountingSurface : win32::GdiSurface {
    void PutPicture(uint32_t slot, int32_t x, int32_t y, const Rect& area) override {
        ++puts;
        GdiSurface::PutPicture(slot, x, y, area);
    }
    size_t puts = 0;
};

struct FontCase {
    const char* name;
    bool italic;
    int32_t turn;         // tenths of a degree
    bool scripts = false; // texts partly in other fonts
    bool recall = false;
};

LogFont FontOf(const FontCase& c) {
    LogFont lf;
    if (c.italic || c.turn != 0) {
        lf.lfHeight = -50;
        lf.lfWeight = 400;
        lf.lfItalic = c.italic ? 1 : 0;
        lf.lfEscapement = lf.lfOrientation = c.turn;
        lf.lfQuality = 1;
        const std::u16string face = u"Times New Roman";
        std::copy(face.begin(), face.end(), lf.lfFaceName);
    } // else none stored: the saver's default font
    return lf;
}

class WindowCopy : public ::testing::TestWithParam<FontCase> {
protected:
    void SetUp() override {
        surface.UseLogo(win32::CreateSolidBitmap(364, 364, kLogoColour));
        saver.display.dayTexts = static_cast<uint32_t>(GetParam().scripts ? std::size(kScriptTexts) : std::size(kTexts));
        window = run.Open(kWidth, kHeight);
        ASSERT_NE(window, nullptr);
        // The same fonts the saver made, for composing from scratch.
        LogFont lf = saver.settings.lf, news = lf;
        news.lfHeight /= 2;
        lineFont = CreateFontIndirectW(reinterpret_cast<const LOGFONTW*>(&lf));
        newsFont = CreateFontIndirectW(reinterpret_cast<const LOGFONTW*>(&news));
        ASSERT_TRUE(lineFont != nullptr && newsFont != nullptr);
    }
    void TearDown() override {
        shaped.clear();
        lineFonts.reset();
        newsFonts.reset();
        if (lineFont != nullptr) DeleteObject(lineFont);
        if (newsFont != nullptr) DeleteObject(newsFont);
    }

    // Lines on screen, some about to leave, so lines leave and come back with
    // new colours and in new lanes during the run.
    void FillScreen() {
        for (int i = 0; i < 8; ++i) SendMessageW(window, WM_TIMER, ID_TURNTIMER, 0);
        ASSERT_EQ(saver.display.gActiveStrings.GetCount(), 8u);
        for (uint32_t i = 0; i < 8; ++i) {
            auto* line = static_cast<DisplayLine*>(saver.display.gActiveStrings.GetAt(i));
            line->cxPos = -line->cxSize + 3 + 140 * static_cast<int32_t>(i);
            // Half of them just right of the middle, to be revealed in the first frames.
            if (GetParam().recall && i >= 4) line->cxPos = kWidth / 2 + 2 + 40 * static_cast<int32_t>(i - 4);
        }
        saver.display.cxNewsPos = 400;
    }

    // This frame drawn alone on a canvas made for it: the lines the pass moved
    // (a line brought on in it still waits at the right edge), then the news.
    void Text(HDC dc, win32::TextFonts& fonts, int32_t x, int32_t y, const std::wstring& text) {
        auto known = shaped.find(text);
        if (known == shaped.end())
            known = shaped.emplace(text, win32::ShapedText::Needed(dc, fonts, text)
                                             ? win32::ShapedText::Shape(dc, fonts, text)
                                             : std::nullopt).first;
        if (known->second)
            known->second->Draw(dc, x, y);
        else
            TextOutW(dc, x, y, text.c_str(), static_cast<int>(text.size()));
    }

    void ComposeAlone(Canvas& canvas) {
        HDC dc = canvas.dc();
        if (!lineFonts) lineFonts = std::make_unique<win32::TextFonts>(dc, lineFont);
        if (!newsFonts) newsFonts = std::make_unique<win32::TextFonts>(dc, newsFont);
        SetBkMode(dc, TRANSPARENT);
        SetStretchBltMode(dc, COLORONCOLOR);
        HDC logo = CreateCompatibleDC(dc);
        HBITMAP logoBitmap = static_cast<HBITMAP>(win32::CreateSolidBitmap(364, 364, kLogoColour));
        HGDIOBJ oldLogo = SelectObject(logo, logoBitmap);
        HGDIOBJ oldFont = SelectObject(dc, lineFont);
        DisplayState& d = saver.display;
        for (uint32_t i = 0; i < d.gActiveStrings.GetCount(); ++i) {
            auto* line = static_cast<DisplayLine*>(d.gActiveStrings.GetAt(i));
            if (line->cxPos >= d.cxScreen) continue;
            const std::u16string_view shown = ShownText(*line);
            const std::wstring text(shown.begin(), shown.end());
            if (text.empty()) {
                StretchBlt(dc, line->cxPos, line->cyPos, line->cxSize, line->cySize, logo, 0, 0, 364, 364, SRCCOPY);
            } else {
                SetTextColor(dc, line->crText);
                Text(dc, *lineFonts, line->cxPos, line->cyPos, text);
            }
        }
        SelectObject(dc, newsFont);
        SetTextColor(dc, RGB(255, 255, 255));
        const std::wstring news(saver.news.gNewsString.begin(), saver.news.gNewsString.end());
        Text(dc, *newsFonts, d.cxNewsPos, d.cyNewsPos, news);
        SelectObject(dc, oldFont);
        SelectObject(logo, oldLogo);
        DeleteObject(logoBitmap);
        DeleteDC(logo);
        GdiFlush();
    }

    // Pixels of the window that differ from the frame composed alone.
    int Mismatches(int frame) {
        Canvas shown, alone;
        if (!shown.ok() || !alone.ok()) return -1;
        HDC windowDc = GetDC(window);
        BitBlt(shown.dc(), 0, 0, kWidth, kHeight, windowDc, 0, 0, SRCCOPY);
        ReleaseDC(window, windowDc);
        ComposeAlone(alone);
        GdiFlush();
        int mismatches = 0, lit = 0;
        for (int y = 0; y < kHeight; ++y) {
            const auto* a = static_cast<const uint32_t*>(shown.bits) + static_cast<size_t>(y) * kWidth;
            const auto* b = static_cast<const uint32_t*>(alone.bits) + static_cast<size_t>(y) * kWidth;
            for (int x = 0; x < kWidth; ++x) lit += (b[x] & 0xFFFFFFu) != 0;
            if (std::memcmp(a, b, kWidth * 4) == 0) continue;
            for (int x = 0; x < kWidth; ++x) {
                if ((a[x] & 0xFFFFFFu) == (b[x] & 0xFFFFFFu)) continue;
                if (mismatches++ == 0)
                    ADD_FAILURE() << "frame " << frame << ": first at " << x << "," << y << " shows " << std::hex
                                  << a[x] << " instead of " << b[x];
            }
        }
        EXPECT_GT(lit, 5000) << "frame " << frame; // lines and news on the canvas
        return mismatches;
    }
    size_t Hidden() {
        size_t hidden = 0;
        for (uint32_t i = 0; i < saver.display.gActiveStrings.GetCount(); ++i)
            hidden += static_cast<DisplayLine*>(saver.display.gActiveStrings.GetAt(i))->hidden;
        return hidden;
    }
    std::vector<void*> ActiveLines() {
        std::vector<void*> lines;
        for (uint32_t i = 0; i < saver.display.gActiveStrings.GetCount(); ++i)
            lines.push_back(saver.display.gActiveStrings.GetAt(i));
        return lines;
    }

    fakes::FakeClock clock;
    fakes::MemoryLogFile files;
    Log log{files, clock};
    CountingSurface surface;
    testing::SaverInWindow run{surface, clock, log,
                               testing::ShowingSteps(
                                   [](SaverSettings& s) {
                                       s.gLogoEnabled = true;
                                       s.dwMaxShowStrings = 8;
                                       s.lf = FontOf(GetParam());
                                       s.gRecallEnabled = GetParam().recall;
                                   },
                                   GetParam().scripts ? std::span<const char16_t* const>(kScriptTexts)
                                                      : std::span<const char16_t* const>(kTexts),
                                   GetParam().scripts ? kScriptNews : kNews)};
    SaverWindow& saver = run.saver;
    HWND window = nullptr;
    HFONT lineFont = nullptr, newsFont = nullptr;
    // Shaped the way the adapter shapes, each text once.
    std::unique_ptr<win32::TextFonts> lineFonts, newsFonts;
    std::map<std::wstring, std::optional<win32::ShapedText>> shaped;
};

TEST_P(WindowCopy, EveryFrameOnTheWindowEqualsTheFrameComposedAlone) {
    ASSERT_NO_FATAL_FAILURE(FillScreen());
    int left = 0, failed = 0, reveals = 0;
    for (int frame = 0; frame < kFrames && failed < 3; ++frame) {
        const std::vector<void*> before = ActiveLines();
        const size_t hidden = Hidden();
        if (frame == 150) {
            // Someone else paints over the window, which is then told to repaint.
            HDC dc = GetDC(window);
            RECT stray{100, 300, 700, 450};
            FillRect(dc, &stray, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
            ReleaseDC(window, dc);
            InvalidateRect(window, &stray, FALSE);
            UpdateWindow(window);
        }
        SendMessageW(window, WM_TIMER, ID_FRAMETIMER, 0);
        left += ActiveLines() != before;
        reveals += ActiveLines() == before && Hidden() < hidden;
        const int mismatches = Mismatches(frame);
        EXPECT_EQ(mismatches, 0) << "frame " << frame;
        failed += mismatches != 0;
    }
    EXPECT_GE(left, 3); // lines left and others came on during the run
    if (GetParam().recall) {
        EXPECT_GE(reveals, 3);
    }
    // Upright and slanted ink stays in its rows: pictures; turned ink is drawn directly.
    if (GetParam().turn == 0)
        EXPECT_GT(surface.puts, 8u * kFrames);
    else
        EXPECT_EQ(surface.puts, 0u);
}

INSTANTIATE_TEST_SUITE_P(Fonts, WindowCopy,
                         ::testing::Values(FontCase{"Default", false, 0}, FontCase{"Italic", true, 0},
                                           FontCase{"TurnedBy90Degrees", false, 900},
                                           FontCase{"DefaultWithFallbackRuns", false, 0, true},
                                           FontCase{"DefaultRecall", false, 0, false, true},
                                           FontCase{"ItalicRecall", true, 0, false, true}),
                         [](const ::testing::TestParamInfo<FontCase>& info) { return std::string(info.param.name); });

} // namespace
} // namespace tavelin
