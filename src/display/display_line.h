// The display line: one text on its way across the screen, with its size,
// position, colour and speed; and MAKEDISPLAYLINE, which makes one.
#pragma once

#include <cstdint>

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
};

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
