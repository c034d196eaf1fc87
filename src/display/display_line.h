// The display line: one text on its way across the screen, with its size,
// position, colour and speed; and MAKEDISPLAYLINE, which makes one.
#pragma once

#include <cstdint>
#include <string_view>

#include "display/surface.h"
#include "lanes/random_source.h"

namespace tavelin {

struct DisplayLine {
    char16_t* pszText = nullptr; // owned; empty for the logo placeholder
    int32_t cxPos = 0;           // left edge; cxScreen when it enters
    int32_t cyPos = 0;           // top of its lane on screen; 0 while queued
    int32_t cxSize = 0;
    int32_t cySize = 0;          // the height of the lane it needs
    int32_t iScrollCount = 0;    // passes completed since the last reset
    uint32_t crText = 0;         // 0x00BBGGRR, each channel 100..255
    int32_t iSpeed = 0;          // pixels per frame tick, 1..4

    // Recall: a day's word shows alone until the line reaches the middle of the screen.
    uint32_t cchWord = 0; // units up to and including the first ':'; 0: always whole
    int32_t cxWord = 0;   // their width, cxSize while hidden
    int32_t cxWhole = 0;  // the whole text's width, cxSize once revealed
    bool hidden = false;  // only the word shows now
};

// Units of text that Recall shows before the reveal: up to and including the
// first ':', when a word precedes it and something follows; else 0.
uint32_t RecallWordLength(std::u16string_view text);

// What the line shows now: its word while hidden, else its whole text.
inline std::u16string_view ShownText(const DisplayLine& line) {
    if (line.pszText == nullptr) return {};
    return line.hidden ? std::u16string_view(line.pszText, line.cchWord) : std::u16string_view(line.pszText);
}

// Recall: the line shows its word alone, and its size is the word's.
inline void HideTranslation(DisplayLine& line) {
    line.hidden = true;
    line.cxSize = line.cxWord;
}

// The logo's place in the queue: a line with no text.
inline bool IsLogoPlaceholder(const DisplayLine& line) { return line.pszText == nullptr || line.pszText[0] == u'\0'; }

inline constexpr uint32_t MakeColour(int32_t red, int32_t green, int32_t blue) {
    return static_cast<uint32_t>(red & 0xFF) | static_cast<uint32_t>(green & 0xFF) << 8 |
           static_cast<uint32_t>(blue & 0xFF) << 16;
}

// A new line for text (measured in the line font), entering at startX; it owns
// text from then on. Null, with text still the caller's, when memory is short.
DisplayLine* MAKEDISPLAYLINE(Surface& surface, int32_t startX, char16_t* text, RandomSource& random);

// Frees a line and its text.
void ReleaseDisplayLine(DisplayLine* line);

} // namespace tavelin
