// The display engine's process-wide state: the four lists and the geometry of
// the screen and the news ticker. One per saver window.
#pragma once

#include <cstdint>

#include "core/group.h"
#include "display/surface.h"

namespace tavelin {

struct DisplayState {
    // Constructed in this order and destroyed in the reverse.
    Group gActiveStrings;   // lines on screen, in order of activation
    Group gInactiveStrings; // lines waiting; the head comes on next
    Group messages;         // the day's texts, only during WM_CREATE
    uint32_t dayTexts = 0;  // of messages, how many at the head are the day's words
    Group gRanges;          // free Ranges of the scrolling band, largest first

    int32_t cxScreen = 0;
    int32_t cyScreen = 0;
    int32_t cyClientScrolling = 0; // rows 0..cyClientScrolling-1 scroll lines
    TextSize NewsSize;
    int32_t cxNewsPos = 0;
    int32_t cyNewsPos = 0;
};

} // namespace tavelin
