// The saver window's two timers.
#pragma once

#include <cstdint>

namespace tavelin {

inline constexpr uintptr_t ID_FRAMETIMER = 1;
inline constexpr uintptr_t ID_TURNTIMER = 2;
inline constexpr uint32_t kFrameInterval = 50;      // ms
inline constexpr uint32_t kFirstTurnInterval = 3000; // ms

} // namespace tavelin
