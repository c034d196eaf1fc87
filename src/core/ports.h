// The two platform ports of the core services: the log file and the clock.
// Implemented by src/platform/win32 and by the doubles in tests/fakes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tavelin {

// An open log file, or null for none. The core never looks inside it.
using LogFileHandle = void*;

class LogFile {
public:
    virtual ~LogFile() = default;
    // Creates the file by (relative) name: write access only, others may open it
    // for reading, any existing file replaced. Null when it cannot be created.
    virtual LogFileHandle Create(std::u16string_view name) = 0;
    // One write of count bytes at the end of the file; false when it failed.
    virtual bool Append(LogFileHandle file, const void* bytes, size_t count) = 0;
};

struct LocalTime {
    uint16_t year = 0;
    uint16_t month = 0;
    uint16_t day = 0;
    uint16_t hour = 0;
    uint16_t minute = 0;
    uint16_t second = 0;
    uint16_t millisecond = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalTime LocalNow() = 0;        // local date and time to the millisecond
    virtual uint16_t UtcMilliseconds() = 0;  // milliseconds field of the system time (UTC)
    virtual uint32_t TickCount() = 0;        // milliseconds since the system started
};

} // namespace tavelin
