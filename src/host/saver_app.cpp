// Wires the saver window's start-up steps to the settings load and the day's
// texts, and its unhandled messages to the default saver procedure.
#include "host/saver_app.h"

#include "settings/settings_load.h"

namespace tavelin {

SaverApp::SaverApp(Platform& platform)
    : log(platform.logFile, platform.clock),
      host(platform.entry, platform.window, log),
      window(platform.surface, platform.timers, platform.clock, log, Steps(platform)),
      sources_(platform.registry, platform.http, log, window.settings) {
    host.frame.SetSaverWindowProcedure(&displayProcedure_);
}

SaverSteps SaverApp::Steps(Platform& platform) {
    SaverSteps steps;
    RegistryStore& registry = platform.registry;
    steps.loadSettings = [&registry](SaverSettings& settings, Log& log) { LoadSettings(registry, log, settings); };
    const std::u16string_view defaultHost = platform.defaultFeedHost;
    steps.gatherTexts = [this, defaultHost](Group& messages, News& news) {
        window.display.dayTexts = GatherDaysTexts(messages, window.settings, news, log, sources_, defaultHost);
    };
    steps.defaultProc = [this](WindowHandle w, uint32_t message, WParam wParam, LParam lParam) {
        return host.frame.DefaultSaverProc(w, message, wParam, lParam);
    };
    return steps;
}

int32_t SaverEntry(Platform& platform) {
    SaverApp app(platform);
    return app.SaverEntry();
}

} // namespace tavelin
