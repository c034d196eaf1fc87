// Builds gRanges by hand and reads it back for the lane allocator tests.
#pragma once

#include <tuple>
#include <vector>

#include "core/group.h"
#include "lanes/range.h"

namespace tavelin::testing {

using Rows = std::tuple<int32_t, int32_t, int32_t>; // iTop, iBottom, iRange

inline void Fill(Group& ranges, const std::vector<std::pair<int32_t, int32_t>>& topBottom) {
    for (auto [top, bottom] : topBottom) ranges.Add(new Range{top, bottom, bottom - top + 1});
}

inline std::vector<Rows> Contents(Group& ranges) {
    std::vector<Rows> rows;
    for (uint32_t i = 0; i < ranges.GetCount(); ++i) {
        const auto* r = static_cast<Range*>(ranges.GetAt(i));
        rows.emplace_back(r->iTop, r->iBottom, r->iRange);
    }
    return rows;
}

inline void FreeAll(Group& ranges) {
    while (ranges.GetCount() > 0) delete static_cast<Range*>(ranges.RemoveAt(0));
}

// Owns a Group of Ranges for one test.
struct OwnedRanges {
    Group group;
    ~OwnedRanges() { FreeAll(group); }
};

} // namespace tavelin::testing
