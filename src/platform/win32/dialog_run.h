// Runs the configuration dialog (template 2003) modally. Free of <windows.h>:
// the host passes its module instance and owner window as plain pointers.
#pragma once

#include "core/log.h"
#include "core/settings_values.h"
#include "settings/registry_store.h"

namespace tavelin::win32 {

// 1 after OK, 0 after Cancel, the close box or Escape; -1 when the dialog
// cannot be shown. The dialog works on a settings record of its own.
int RunConfigurationDialog(void* instance, void* parentWindow, Log& log, RegistryStore& store);
// The same, working on the caller's settings (the font record, the flags).
int RunConfigurationDialog(void* instance, void* parentWindow, Log& log, RegistryStore& store,
                           SaverSettings& settings);

} // namespace tavelin::win32
