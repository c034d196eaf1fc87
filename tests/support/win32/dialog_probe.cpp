// Runs the configuration dialog alone, for trying it before the saver's entry
// exists:  dialog_probe [<module holding dialog 2003>]   exit code: the result.
#include <windows.h>

#include "core/log.h"
#include "platform/win32/clock_win32.h"
#include "platform/win32/dialog_run.h"
#include "platform/win32/log_file_win32.h"
#include "platform/win32/registry_store_win32.h"

int wmain(int argc, wchar_t** argv) {
    HMODULE module = argc > 1 ? LoadLibraryExW(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE) : GetModuleHandleW(nullptr);
    if (module == nullptr) return 3;
    tavelin::win32::Win32LogFile files;
    tavelin::win32::Win32Clock clock;
    tavelin::Log log(files, clock);
    tavelin::win32::Win32RegistryStore store;
    return tavelin::win32::RunConfigurationDialog(module, nullptr, log, store);
}
