// The lane allocator: hands out free horizontal bands of the scrolling band at
// random and takes them back, keeping gRanges ordered largest first.
#pragma once

#include <cstdint>

#include "core/group.h"
#include "core/log.h"
#include "lanes/random_source.h"

namespace tavelin {

class LaneAllocator {
public:
    LaneAllocator(Log& log, RandomSource& random) : log_(log), random_(random) {}

    // The top row of a band of cySize rows, strictly inside a free range, now
    // recorded as taken; -1 when no free range has more than cySize + 1 rows.
    // iMaxBottom (the band's last row) is used only while gRanges is empty.
    int32_t GETUNIQUEHEIGHT2(int32_t iMaxBottom, int32_t cySize, Group& gRanges);

    // Merges the band [cyPos, cyPos + cySize - 1] with its two neighbouring free
    // ranges. False, with gRanges as it was, when either neighbour is missing.
    bool REMOVEUNIQUEHEIGHT(Group& gRanges, int32_t cyPos, int32_t cySize);

private:
    Log& log_;
    RandomSource& random_;
};

} // namespace tavelin
