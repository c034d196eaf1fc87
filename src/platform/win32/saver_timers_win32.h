// The SaverTimers port over user32: SetTimer, KillTimer, SendMessageW and
// PostQuitMessage for the saver window.
#pragma once

#include "display/saver_timers.h"

namespace tavelin::win32 {

class Win32SaverTimers : public SaverTimers {
public:
    void StartTimer(WindowHandle window, uintptr_t id, uint32_t milliseconds) override;
    void StopTimer(WindowHandle window, uintptr_t id) override;
    LResult SendTurnTick(WindowHandle window) override;
    void PostQuit(int exitCode) override;
};

} // namespace tavelin::win32
