// The SaverTimers port: the saver window's two timers, the turn tick the frame
// pass sends when a line leaves, and the quit message at shut-down; with
// SetTimer and friends in platform/win32 and by a recording double in tests.
#pragma once

#include <cstdint>

#include "core/window_messages.h"

namespace tavelin {

class SaverTimers {
public:
    virtual ~SaverTimers() = default;

    // WM_TIMER with id to the window every milliseconds, until stopped.
    virtual void StartTimer(WindowHandle window, uintptr_t id, uint32_t milliseconds) = 0;
    virtual void StopTimer(WindowHandle window, uintptr_t id) = 0;
    // Sends WM_TIMER with ID_TURNTIMER and returns once the window has handled it.
    virtual LResult SendTurnTick(WindowHandle window) = 0;
    // Ends the thread's message loop with exitCode.
    virtual void PostQuit(int exitCode) = 0;
};

} // namespace tavelin
