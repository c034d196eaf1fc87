// The news text of the day's feed: written by the feed client, laid out and
// drawn by the display engine.
#pragma once

#include <cstddef>
#include <string>

namespace tavelin {

struct News {
    static constexpr size_t kCapacity = 4096; // units, terminator included
    std::u16string gNewsString;               // at most kCapacity - 1 units
    bool gNewsSet = false;                    // the feed gave a news text of 3 or more characters
};

} // namespace tavelin
