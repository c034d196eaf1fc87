// Local time for the log, UTC milliseconds for the seed, ticks for the closing rules.
#include "platform/win32/clock_win32.h"

#include <windows.h>

namespace tavelin::win32 {

LocalTime Win32Clock::LocalNow() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    return LocalTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

uint16_t Win32Clock::UtcMilliseconds() {
    SYSTEMTIME t;
    GetSystemTime(&t);
    return t.wMilliseconds;
}

uint32_t Win32Clock::TickCount() { return GetTickCount(); }

} // namespace tavelin::win32
