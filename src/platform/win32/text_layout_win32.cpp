// Shaping with Uniscribe: itemize, shape and place each run once, lay the runs
// out in visual order, draw the kept glyphs.
#include "platform/win32/text_layout_win32.h"

#include <algorithm>

namespace tavelin::win32 {
namespace {

struct Placed {
    std::vector<WORD> glyphs;
    std::vector<int> advances;
    std::vector<GOFFSET> offsets;
    int32_t width = 0;
};

// Shapes and places one run; false when its script cannot be shaped in the font.
bool ShapeRun(HDC dc, ShapingFont& font, SCRIPT_ANALYSIS& analysis, std::wstring_view text, Placed& out) {
    ScopedSelect select(dc, font.font);
    const int n = static_cast<int>(text.size());
    int room = n * 3 / 2 + 16, count = 0;
    std::vector<WORD> clusters(text.size());
    std::vector<SCRIPT_VISATTR> visual;
    HRESULT hr = E_OUTOFMEMORY;
    for (int tries = 0; hr == E_OUTOFMEMORY && tries < 4; ++tries, room *= 2) {
        out.glyphs.resize(room);
        visual.resize(room);
        hr = ScriptShape(dc, &font.cache, text.data(), n, room, &analysis, out.glyphs.data(), clusters.data(),
                         visual.data(), &count);
    }
    if (FAILED(hr)) return false;
    out.glyphs.resize(count);
    out.advances.assign(count, 0);
    out.offsets.assign(count, GOFFSET{});
    ABC abc{};
    if (FAILED(ScriptPlace(dc, &font.cache, out.glyphs.data(), count, visual.data(), &analysis, out.advances.data(),
                           out.offsets.data(), &abc)))
        return false;
    out.width = abc.abcA + static_cast<int32_t>(abc.abcB) + abc.abcC;
    return true;
}

} // namespace

bool ShapedText::Needed(HDC dc, TextFonts& fonts, std::wstring_view text) {
    if (text.empty()) return false;
    if (ScriptIsComplex(text.data(), static_cast<int>(text.size()), SIC_COMPLEX) == S_OK) return true;
    return !TextFonts::Covers(dc, fonts.Base(), text);
}

std::optional<ShapedText> ShapedText::Shape(HDC dc, TextFonts& fonts, std::wstring_view text) {
    if (text.empty()) return std::nullopt;
    ShapedText shaped;
    shaped.ascent_ = fonts.Base().metrics.tmAscent;
    shaped.descent_ = fonts.Base().metrics.tmDescent;
    // Each colon ends a part laid out on its own, left to right after the one
    // before: a word and its translation in two right-to-left scripts keep the
    // word on the left, as in any line.
    for (size_t start = 0; start < text.size();) {
        const size_t colon = text.find(L':', start);
        const size_t end = colon == std::wstring_view::npos ? text.size() : colon + 1;
        if (!shaped.AddPart(dc, fonts, text.substr(start, end - start))) return std::nullopt;
        start = end;
    }
    return shaped;
}

bool ShapedText::AddPart(HDC dc, TextFonts& fonts, std::wstring_view text) {
    const int n = static_cast<int>(text.size());
    std::vector<SCRIPT_ITEM> items(text.size() + 2);
    SCRIPT_CONTROL control{};
    SCRIPT_STATE state{}; // a left-to-right line
    int count = 0;
    if (FAILED(ScriptItemize(text.data(), n, n + 1, &control, &state, items.data(), &count))) return false;
    std::vector<Run> logical;
    std::vector<BYTE> levels;
    for (int i = 0; i < count; ++i) {
        const int start = items[i].iCharPos, end = items[i + 1].iCharPos;
        const std::wstring_view part = text.substr(start, end - start);
        SCRIPT_ANALYSIS analysis = items[i].a;
        ShapingFont* font = &fonts.For(dc, analysis.eScript, part);
        Placed placed;
        if (!ShapeRun(dc, *font, analysis, part, placed)) {
            // Not a script this font can shape: its glyphs as they come.
            analysis.eScript = SCRIPT_UNDEFINED;
            if (!ShapeRun(dc, *font, analysis, part, placed)) return false;
        }
        ascent_ = std::max<int32_t>(ascent_, font->metrics.tmAscent);
        descent_ = std::max<int32_t>(descent_, font->metrics.tmDescent);
        width_ += placed.width;
        logical.push_back(Run{font, analysis, std::move(placed.glyphs), std::move(placed.advances),
                              std::move(placed.offsets), placed.width});
        levels.push_back(static_cast<BYTE>(items[i].a.s.uBidiLevel));
    }
    std::vector<int> visualToLogical(logical.size());
    if (!logical.empty() &&
        FAILED(ScriptLayout(static_cast<int>(levels.size()), levels.data(), visualToLogical.data(), nullptr)))
        return false;
    for (int index : visualToLogical) runs_.push_back(std::move(logical[index]));
    return true;
}

void ShapedText::Draw(HDC dc, int32_t x, int32_t y) const {
    for (const Run& run : runs_) {
        ScopedSelect select(dc, run.font->font);
        // One baseline for all runs, whatever each font's ascent.
        const int32_t top = y + ascent_ - run.font->metrics.tmAscent;
        ScriptTextOut(dc, &run.font->cache, x, top, 0, nullptr, &run.analysis, nullptr, 0, run.glyphs.data(),
                      static_cast<int>(run.glyphs.size()), run.advances.data(), nullptr, run.offsets.data());
        x += run.width;
    }
}

} // namespace tavelin::win32
