// The process entry of Tavelin.scr: builds the Win32 platform and runs the
// portable program. No C++ exception leaves this function.
#include "build_config.h"
#include "core/log.h"
#include "host/saver_app.h"
#include "platform/win32/clock_win32.h"
#include "platform/win32/dialog_run.h"
#include "platform/win32/http_winhttp.h"
#include "platform/win32/log_file_win32.h"
#include "platform/win32/platform_entry_win32.h"
#include "platform/win32/registry_store_win32.h"
#include "platform/win32/saver_timers_win32.h"
#include "platform/win32/surface_gdi.h"
#include "platform/win32/window_ops_win32.h"

#include <windows.h>

namespace {

int RunSaver(HINSTANCE instance) {
    using namespace tavelin;
    using namespace tavelin::win32;
    Win32LogFile logFile;
    Win32Clock clock;
    Win32RegistryStore registry;
    WinHttpTransport http;
    GdiSurface surface;
    Win32SaverTimers timers;
    Win32WindowOps window;
    Win32EntryOps entry(instance, [instance, &registry](WindowHandle owner, Log& log) {
        return static_cast<int32_t>(RunConfigurationDialog(instance, owner, log, registry));
    });
    Platform platform{logFile, clock, registry, http, surface, timers, window, entry, kDefaultFeedHost};
    return SaverEntry(platform);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    try {
        return RunSaver(instance);
    } catch (...) {
        return tavelin::kFaultExitCode;
    }
}
