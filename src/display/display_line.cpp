// Making and releasing display lines.
#include "display/display_line.h"

#include <new>

#include "core/text.h"
#include "display/random.h"

namespace tavelin {
namespace {

constexpr int32_t kLogoFallbackSize = 32; // when the font's metrics cannot be read

} // namespace

DisplayLine* MAKEDISPLAYLINE(Surface& surface, int32_t startX, char16_t* text, RandomSource& random) {
    auto* line = new (std::nothrow) DisplayLine;
    if (line == nullptr) return nullptr;
    line->pszText = text;
    const std::u16string_view view = text != nullptr ? std::u16string_view(text) : std::u16string_view();
    if (!view.empty()) {
        const TextSize size = surface.MeasureText(FontKind::Line, view);
        line->cxSize = size.cx;
        line->cySize = size.cy;
    } else if (const auto metrics = surface.MeasureFont(FontKind::Line)) {
        // A square one and a half lines high for the logo.
        const double side = static_cast<double>(metrics->tmHeight + metrics->tmExternalLeading) * 1.5;
        line->cxSize = line->cySize = static_cast<int32_t>(side);
    } else {
        line->cxSize = line->cySize = kLogoFallbackSize;
    }
    line->cxPos = startX;
    line->cyPos = 0;
    line->iScrollCount = 0;
    const int32_t red = RANDOMINRANGE(random, 100, 255);
    const int32_t green = RANDOMINRANGE(random, 100, 255);
    const int32_t blue = RANDOMINRANGE(random, 100, 255);
    line->crText = MakeColour(red, green, blue);
    line->iSpeed = RANDOMINRANGE(random, 1, 4);
    return line;
}

uint32_t RecallWordLength(std::u16string_view text) {
    const size_t colon = text.find(u':');
    if (colon == std::u16string_view::npos || colon == 0 || colon + 1 == text.size()) return 0;
    return static_cast<uint32_t>(colon + 1);
}

void ReleaseDisplayLine(DisplayLine* line) {
    if (line == nullptr) return;
    ReleaseText(line->pszText);
    delete line;
}

} // namespace tavelin
