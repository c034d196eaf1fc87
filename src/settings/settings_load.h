// The settings load: fills a run's in-memory settings from the settings key and
// opens the diagnostic log when "Log" is on.
#pragma once

#include "core/log.h"
#include "core/settings_values.h"
#include "settings/registry_store.h"

namespace tavelin {

void LoadSettings(RegistryStore& store, Log& log, SaverSettings& settings);

} // namespace tavelin
