// Mode dispatch, the saver window's creation and the message loop.
#include "host/saver_host.h"

namespace tavelin {

WindowHandle SaverHost::NamedWindow(uint32_t number) {
    if (number == 0) return nullptr;
    const WindowHandle window = reinterpret_cast<WindowHandle>(static_cast<uintptr_t>(number));
    return entry_.IsWindow(window) ? window : nullptr;
}

int32_t SaverHost::SaverEntry() {
    const auto platformId = entry_.PlatformId();
    frame.bConsumerPlatform = platformId && *platformId == kConsumerPlatformId;
    // The whole run, reading the command line included, is under the guard.
    return entry_.RunGuarded([&] { return RunMode(ParseCommandLine(entry_.CommandLine())); },
                             [&] { frame.NotifySaverRunning(false); });
}

int32_t SaverHost::RunMode(const SaverCommand& command) {
    switch (command.mode) {
    case SaverMode::ConfigureAlone:
        return RunConfigDialog(nullptr);
    case SaverMode::Configure: {
        const WindowHandle owner = NamedWindow(command.window);
        return RunConfigDialog(owner != nullptr ? owner : entry_.ForegroundWindow());
    }
    case SaverMode::FullScreen:
        return RunSaverWindow(nullptr);
    case SaverMode::Preview: {
        const WindowHandle parent = NamedWindow(command.window);
        return parent != nullptr ? RunSaverWindow(parent) : kBadSwitchExitCode;
    }
    case SaverMode::PasswordChange: {
        if (!frame.bConsumerPlatform) return kBadSwitchExitCode;
        const WindowHandle parent = NamedWindow(command.window);
        RunPasswordChange(parent != nullptr ? parent : entry_.ForegroundWindow());
        return 0;
    }
    case SaverMode::Invalid:
        return kBadSwitchExitCode;
    }
    return kBadSwitchExitCode;
}

int32_t SaverHost::RunConfigDialog(WindowHandle parent) {
    // The dialog needs no window classes of its own: nothing to register.
    return entry_.RunConfigurationDialog(parent, log_);
}

int32_t SaverHost::RunSaverWindow(WindowHandle parent) {
    SaverWindowSpec spec;
    if (parent != nullptr) {
        const WindowSize size = entry_.ClientSize(parent).value_or(WindowSize{});
        frame.bPreview = true;
        spec = {kClassName, kPreviewTitle, kPreviewStyle, 0, 0, 0, size.cx, size.cy, parent};
    } else {
        const ScreenBox box = entry_.ScreenBounds();
        spec = {kClassName, kFullScreenTitle, kFullScreenStyle, kFullScreenExStyle, box.left, box.top,
                box.cx, box.cy, nullptr};
        const WindowHandle running = entry_.FindTopLevelWindow(kClassName, kFullScreenTitle);
        if (running != nullptr && entry_.IsWindow(running)) {
            entry_.BringToForeground(running);
            return 0; // a second full-screen saver never starts
        }
        frame.LoadPasswordVerifier();
    }
    if (frame.bConsumerPlatform) frame.uQueryCancelAutoPlay = entry_.RegisterMessageName(u"QueryCancelAutoPlay");

    int32_t result = kNoWindowExitCode;
    if (entry_.RegisterSaverClass({kClassName, kClassStyles}, frameProcedure_)) {
        hSaverWindow = entry_.CreateSaverWindow(spec);
        if (hSaverWindow != nullptr) {
            if (parent == nullptr) entry_.BringToForeground(hSaverWindow);
            result = entry_.RunMessageLoop();
        }
    }
    frame.ReleasePasswordVerifier();
    return result;
}

void SaverHost::RunPasswordChange(WindowHandle parent) {
    const LibraryHandle mpr = window_.LoadNamedLibrary(u"MPR.DLL");
    if (mpr == nullptr) return;
    if (const FunctionHandle change = window_.FindFunction(mpr, "PwdChangePasswordW"))
        window_.CallPwdChangePassword(change, u"SCRSAVE", parent);
    window_.FreeLibrary(mpr);
}

} // namespace tavelin
