// Message and command numbers of the saver frame beyond the shared list, with
// the platform's values.
#pragma once

#include <cstdint>

#include "core/window_messages.h"

namespace tavelin::msg {
inline constexpr uint32_t WM_POWER = 0x0048;
inline constexpr uint32_t WM_CONTEXTMENU = 0x007B;
inline constexpr uint32_t WM_POWERBROADCAST = 0x0218;
// Private message: the saver window answers it by running the password verifier.
inline constexpr uint32_t WM_VERIFY_PASSWORD = 0x8000;

inline constexpr WParam SC_NEXTWINDOW = 0xF040;
inline constexpr WParam SC_PREVWINDOW = 0xF050;
inline constexpr WParam SC_SCREENSAVE = 0xF140;
inline constexpr WParam PWR_CRITICALRESUME = 3;
} // namespace tavelin::msg
