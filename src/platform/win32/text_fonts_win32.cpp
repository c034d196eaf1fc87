// Fonts for shaped text: the style's own, and installed fallbacks by coverage.
#include "platform/win32/text_fonts_win32.h"

#include <algorithm>
#include <cstdlib>

namespace tavelin::win32 {
namespace {

// Characters drawn without a glyph of their own: spaces, controls, joiners,
// direction marks, variation selectors. Surrogates are not looked up: the
// glyph query answers for 16-bit units only.
bool NeedsNoGlyph(wchar_t c) {
    if (c <= 0x20 || (c >= 0x7F && c <= 0xA0) || c == 0xAD) return true;
    if ((c >= 0x200B && c <= 0x200F) || (c >= 0x2028 && c <= 0x202F) || (c >= 0x2060 && c <= 0x206F)) return true;
    if ((c >= 0xFE00 && c <= 0xFE0F) || c == 0xFEFF || (c >= 0xD800 && c <= 0xDFFF)) return true;
    return false;
}

bool FixedPitch(BYTE tmPitchAndFamily) { return (tmPitchAndFamily & TMPF_FIXED_PITCH) == 0; } // the bit means variable

struct Listing {
    const TEXTMETRICW* base;
    std::vector<std::pair<std::wstring, int>>* out;
};

int CALLBACK AddFamily(const LOGFONTW* lf, const TEXTMETRICW* tm, DWORD type, LPARAM param) {
    const auto* listing = reinterpret_cast<const Listing*>(param);
    const auto* ntm = reinterpret_cast<const NEWTEXTMETRICW*>(tm);
    const bool scalable =
        (type & TRUETYPE_FONTTYPE) != 0 || (ntm->ntmFlags & (NTM_PS_OPENTYPE | NTM_TT_OPENTYPE)) != 0;
    if (!scalable || lf->lfFaceName[0] == L'@') return 1; // '@': the same family turned for vertical text
    const TEXTMETRICW& base = *listing->base;
    int score = 0;
    if ((tm->tmPitchAndFamily & 0xF0) == (base.tmPitchAndFamily & 0xF0)) score += 4;
    if (FixedPitch(tm->tmPitchAndFamily) == FixedPitch(base.tmPitchAndFamily)) score += 2;
    if (std::abs(static_cast<int>(tm->tmWeight) - static_cast<int>(base.tmWeight)) < 150) score += 1;
    listing->out->emplace_back(lf->lfFaceName, score);
    return 1;
}

} // namespace

TextFonts::TextFonts(HDC dc, HFONT base) {
    base_.font = base;
    GetObjectW(base, sizeof style_, &style_);
    ScopedSelect select(dc, base);
    GetTextMetricsW(dc, &base_.metrics);
}

bool TextFonts::Covers(HDC dc, ShapingFont& font, std::wstring_view text) {
    std::wstring needed;
    for (wchar_t c : text)
        if (!NeedsNoGlyph(c)) needed.push_back(c);
    if (needed.empty()) return true;
    std::vector<WORD> glyphs(needed.size());
    ScopedSelect select(dc, font.font);
    if (GetGlyphIndicesW(dc, needed.data(), static_cast<int>(needed.size()), glyphs.data(),
                         GGI_MARK_NONEXISTING_GLYPHS) == GDI_ERROR)
        return false;
    return std::none_of(glyphs.begin(), glyphs.end(), [](WORD g) { return g == 0xFFFF; });
}

ShapingFont& TextFonts::For(HDC dc, WORD script, std::wstring_view text) {
    if (Covers(dc, base_, text)) return base_;
    if (auto known = byScript_.find(script); known != byScript_.end() && Covers(dc, *known->second, text))
        return *(last_ = known->second);
    // The fallback of the run before, when it has these letters too: kana and
    // kanji of one word in one font.
    if (last_ != nullptr && Covers(dc, *last_, text)) return *(byScript_[script] = last_);
    ListFamilies(dc);
    for (const Family& family : families_) {
        ShapingFont* font = Open(dc, family.face);
        if (font == nullptr || !Covers(dc, *font, text)) continue;
        byScript_[script] = last_ = font;
        return *font;
    }
    return base_;
}

void TextFonts::ListFamilies(HDC dc) {
    if (listed_) return;
    listed_ = true;
    std::vector<std::pair<std::wstring, int>> found;
    Listing listing{&base_.metrics, &found};
    LOGFONTW any{};
    any.lfCharSet = DEFAULT_CHARSET; // every family, once for each character set it has
    EnumFontFamiliesExW(dc, &any, AddFamily, reinterpret_cast<LPARAM>(&listing), 0);
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        return a.second != b.second ? a.second > b.second : a.first < b.first;
    });
    for (auto& [face, score] : found)
        if (families_.empty() || families_.back().face != face) families_.push_back(Family{std::move(face), score});
}

ShapingFont* TextFonts::Open(HDC dc, const std::wstring& face) {
    auto [it, added] = open_.try_emplace(face);
    if (!added) return it->second.get();
    LOGFONTW lf = style_;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfFaceName[face.copy(lf.lfFaceName, LF_FACESIZE - 1)] = L'\0';
    auto font = std::make_unique<ShapingFont>();
    font->owned.reset(CreateFontIndirectW(&lf));
    font->font = font->owned.get();
    if (font->font == nullptr) return nullptr;
    ScopedSelect select(dc, font->font);
    if (!GetTextMetricsW(dc, &font->metrics)) return nullptr;
    it->second = std::move(font);
    return it->second.get();
}

} // namespace tavelin::win32
