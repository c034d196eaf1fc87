// Texts in scripts the line font lacks, against the real GDI and Uniscribe:
// right to left where the script reads so, joined where it joins, measured
// as drawn.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/win32/surface_gdi.h"
#include "support/times_new_roman.h"

namespace tavelin {
namespace {

using win32::GdiSurface;

constexpr Rect kScreen{0, 0, 1920, 1080};

struct Ready {
    GdiSurface surface;
    Ready() {
        EXPECT_TRUE(surface.OpenWindowDc(nullptr));
        EXPECT_TRUE(surface.CreateBackBuffer(1920, 1080));
        EXPECT_TRUE(surface.CreateFonts(testing::TimesNewRoman(-50), testing::TimesNewRoman(-25)));
    }
};

// The lit pixels of a text drawn alone at (20, 20): its ink, cropped.
struct Ink {
    int32_t cx = 0, cy = 0;
    std::vector<bool> lit;
    bool operator==(const Ink&) const = default;
    int Count() const { return static_cast<int>(std::count(lit.begin(), lit.end(), true)); }
};

Ink InkOf(GdiSurface& s, std::u16string_view text, TextSize* measured = nullptr) {
    const TextSize size = s.MeasureText(FontKind::Line, text);
    if (measured != nullptr) *measured = size;
    EXPECT_TRUE(s.BeginFrame(nullptr, Surface::Frame::Whole));
    s.Clear(kScreen);
    s.DrawTextAt(FontKind::Line, 20, 20, size, 0xFFFFFF, text);
    s.EndFrame();
    int32_t left = 1920, top = 1080, right = -1, bottom = -1;
    for (int32_t y = 0; y < 400; ++y)
        for (int32_t x = 0; x < 1920; ++x)
            if (s.BackBufferPixel(x, y) != 0) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
    Ink ink;
    if (right < 0) return ink;
    ink.cx = right - left + 1;
    ink.cy = bottom - top + 1;
    for (int32_t y = top; y <= bottom; ++y)
        for (int32_t x = left; x <= right; ++x) ink.lit.push_back(s.BackBufferPixel(x, y) != 0);
    return ink;
}

// The widths of the column runs of ink, left to right: letters that touch make one.
std::vector<int32_t> ColumnGroups(const Ink& ink) {
    std::vector<int32_t> groups;
    bool previous = false;
    for (int32_t x = 0; x < ink.cx; ++x) {
        bool any = false;
        for (int32_t y = 0; y < ink.cy && !any; ++y) any = ink.lit[static_cast<size_t>(y) * ink.cx + x];
        if (any && !previous) groups.push_back(0);
        if (any) ++groups.back();
        previous = any;
    }
    return groups;
}

// The same letters in the same places, but for a pixel of rounding where runs
// are split differently: as many runs of ink, each as wide within a pixel.
bool Alike(const Ink& a, const Ink& b) {
    const std::vector<int32_t> ga = ColumnGroups(a), gb = ColumnGroups(b);
    if (ga.size() != gb.size() || std::abs(a.cy - b.cy) > 1) return false;
    for (size_t i = 0; i < ga.size(); ++i)
        if (std::abs(ga[i] - gb[i]) > 1) return false;
    return true;
}

TEST(ScriptsGdi, RightToLeftRunsReadRightToLeftBeforeTheirColon) {
    Ready r;
    // The letters reversed and forced left to right are what the run must look like.
    const Ink word = InkOf(r.surface, u"שלום");
    EXPECT_TRUE(Alike(word, InkOf(r.surface, u"\u202Dםולש\u202C")));
    EXPECT_FALSE(Alike(word, InkOf(r.surface, u"\u202Dשלום\u202C")));
    EXPECT_TRUE(Alike(InkOf(r.surface, u"שלום:peace"), InkOf(r.surface, u"\u202Dםולש\u202C:peace")));
    EXPECT_FALSE(Alike(InkOf(r.surface, u"שלום:peace"), InkOf(r.surface, u"peace:\u202Dםולש\u202C")));
    // Words and neutrals between them read right to left too.
    EXPECT_TRUE(Alike(InkOf(r.surface, u"שלום & עולם"), InkOf(r.surface, u"\u202Dםלוע & םולש\u202C")));
    // A translation in a right-to-left script too stays after the colon.
    EXPECT_TRUE(Alike(InkOf(r.surface, u"של:ום"), InkOf(r.surface, u"\u202Dלש\u202C:\u202Dםו\u202C")));
}

TEST(ScriptsGdi, ArabicLettersJoinAndThaiMarksStayOnTheirLetters) {
    Ready r;
    const Ink joined = InkOf(r.surface, u"بيت");
    const Ink apart = InkOf(r.surface, u"ب\u200Cي\u200Cت"); // non-joiners: each letter alone
    EXPECT_EQ(ColumnGroups(joined).size(), 1u);
    EXPECT_GT(ColumnGroups(apart).size(), 1u);
    EXPECT_LT(joined.cx, apart.cx);
    // A vowel above sits over its letter: the ink grows upward, not sideways.
    const Ink base = InkOf(r.surface, u"ก"), marked = InkOf(r.surface, u"กี");
    EXPECT_LE(marked.cx, base.cx + 2);
    EXPECT_GT(marked.cy, base.cy + 5);
}

// What is measured is what is drawn: lanes are as high as the line font's
// row, or the taller fallback's, and no ink falls outside the measured width.
TEST(ScriptsGdi, TheMeasuredBoxHoldsTheInkOfEveryRun) {
    Ready r;
    const auto row = r.surface.MeasureFont(FontKind::Line);
    ASSERT_TRUE(row.has_value());
    const std::u16string_view texts[] = {u"猫:cat", u"كتاب:book, noun", u"नमस्ते:hello", u"สวัสดี:hello"};
    for (uint32_t slot = 0; slot < std::size(texts); ++slot) {
        const TextSize size = r.surface.MeasureText(FontKind::Line, texts[slot]);
        const auto ink = r.surface.KeepText(slot, FontKind::Line, size, 0x40C0FF, texts[slot]);
        ASSERT_TRUE(ink.has_value());
        EXPECT_GE(size.cy, row->tmHeight);
        EXPECT_GT(ink->cx, size.cx / 2);
        EXPECT_LE(ink->Right(), size.cx + 2);
        EXPECT_GE(ink->y, 0);
        EXPECT_LE(ink->Bottom(), size.cy);
    }
}

} // namespace
} // namespace tavelin
