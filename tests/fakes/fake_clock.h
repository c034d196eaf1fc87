// A clock that says what the test sets; every read can advance it.
#pragma once

#include "core/ports.h"

namespace tavelin::fakes {

class FakeClock : public Clock {
public:
    LocalTime now{2026, 12, 6, 6, 27, 44, 7};
    uint16_t utcMilliseconds = 0;
    uint32_t ticks = 0;

    LocalTime LocalNow() override { return now; }
    uint16_t UtcMilliseconds() override { return utcMilliseconds; }
    uint32_t TickCount() override { return ticks; }
};

} // namespace tavelin::fakes
