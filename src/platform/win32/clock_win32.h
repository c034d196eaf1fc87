// The clock port over GetLocalTime, GetSystemTime and GetTickCount.
#pragma once

#include "core/ports.h"

namespace tavelin::win32 {

class Win32Clock : public Clock {
public:
    LocalTime LocalNow() override;
    uint16_t UtcMilliseconds() override;
    uint32_t TickCount() override;
};

} // namespace tavelin::win32
