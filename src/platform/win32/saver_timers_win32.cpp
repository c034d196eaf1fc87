// Timers and messages of the saver window.
// The portable headers come first: their message names must not meet the
// platform's macros of the same names.
#include "platform/win32/saver_timers_win32.h"

#include "display/timer_ids.h"

#include <windows.h>

namespace tavelin::win32 {
namespace {

HWND AsWindow(WindowHandle window) { return static_cast<HWND>(window); }

} // namespace

void Win32SaverTimers::StartTimer(WindowHandle window, uintptr_t id, uint32_t milliseconds) {
    SetTimer(AsWindow(window), id, milliseconds, nullptr);
}

void Win32SaverTimers::StopTimer(WindowHandle window, uintptr_t id) { KillTimer(AsWindow(window), id); }

LResult Win32SaverTimers::SendTurnTick(WindowHandle window) {
    return SendMessageW(AsWindow(window), WM_TIMER, ID_TURNTIMER, 0);
}

void Win32SaverTimers::PostQuit(int exitCode) { PostQuitMessage(exitCode); }

} // namespace tavelin::win32
