// Every port a running saver uses, built once by the platform's entry point
// and handed to the portable program.
#pragma once

#include <string_view>

#include "core/ports.h"
#include "display/saver_timers.h"
#include "display/surface.h"
#include "feed/http_transport.h"
#include "host/entry_ops.h"
#include "host/window_ops.h"
#include "settings/registry_store.h"

namespace tavelin {

struct Platform {
    LogFile& logFile;
    Clock& clock;
    RegistryStore& registry;
    HttpTransport& http;
    Surface& surface;
    SaverTimers& timers;
    WindowOps& window;
    EntryOps& entry;
    std::u16string_view defaultFeedHost; // used when "FeedHost" is empty
};

} // namespace tavelin
