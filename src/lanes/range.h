// One free vertical range of the scrolling band, as the lane allocator keeps it
// in gRanges (largest first).
#pragma once

#include <cstdint>

namespace tavelin {

struct Range {
    int32_t iTop = 0;    // first free row
    int32_t iBottom = 0; // last free row, inclusive
    int32_t iRange = 0;  // iBottom - iTop + 1
};

} // namespace tavelin
