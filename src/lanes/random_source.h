// The 15-bit random values the lane allocator draws from, and the draw rule
// shared with RANDOMINRANGE. The display engine supplies the generator.
#pragma once

#include <cstdint>

namespace tavelin {

class RandomSource {
public:
    virtual ~RandomSource() = default;
    // The next value, 0 to 32767.
    virtual int32_t Next() = 0;
};

// trunc(r * (1/32767) * n) in double precision: 0..n, n only for r = 32767.
inline int32_t DrawOf(int32_t r, int32_t n) {
    return static_cast<int32_t>((static_cast<double>(r) * (1.0 / 32767.0)) * static_cast<double>(n));
}

} // namespace tavelin
