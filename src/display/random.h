// The saver's own pseudo-random numbers: a 15-bit linear congruential generator,
// the same on every platform, and RANDOMINRANGE over it.
#pragma once

#include <cstdint>

#include "lanes/random_source.h"

namespace tavelin {

class Lcg15 : public RandomSource {
public:
    void Seed(uint32_t seed) { state_ = seed; }
    int32_t Next() override {
        state_ = state_ * 214013u + 2531011u; // modulo 2^32 by unsigned wrap-around
        return static_cast<int32_t>((state_ >> 16) & 0x7FFFu);
    }

private:
    uint32_t state_ = 1;
};

// a + trunc(r * (1/32767) * (b - a)): a..b, b only when r is 32767.
inline int32_t RANDOMINRANGE(RandomSource& random, int32_t a, int32_t b) {
    return a + DrawOf(random.Next(), b - a);
}

} // namespace tavelin
