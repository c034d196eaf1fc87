// The whole program over a Platform: the host in front, the display engine
// behind it, settings, feed and day cache plugged into the window's start-up.
#pragma once

#include <cstdint>

#include "core/log.h"
#include "display/saver_window.h"
#include "host/feed_cache_sources.h"
#include "host/platform.h"
#include "host/saver_host.h"

namespace tavelin {

class SaverApp {
public:
    explicit SaverApp(Platform& platform);
    SaverApp(const SaverApp&) = delete;
    SaverApp& operator=(const SaverApp&) = delete;

    int32_t SaverEntry() { return host.SaverEntry(); }

    Log log;
    SaverHost host;
    SaverWindow window;

private:
    SaverSteps Steps(Platform& platform);

    FeedCacheSources sources_;
    MemberHandler<SaverWindow, &SaverWindow::Procedure> displayProcedure_{window};
};

// Builds the program over the platform and runs the mode the command line names.
int32_t SaverEntry(Platform& platform);

} // namespace tavelin
