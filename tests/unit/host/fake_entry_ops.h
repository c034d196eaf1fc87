// An entry-ops double: a command line, windows that exist, and a message loop
// the test scripts.
#pragma once

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/entry_ops.h"

namespace tavelin::fakes {

inline WindowHandle Handle(uintptr_t n) { return reinterpret_cast<WindowHandle>(n); }

class FakeEntryOps : public EntryOps {
public:
    std::optional<uint32_t> platformId = 2;
    std::u16string commandLine = u"Tavelin.scr";
    std::vector<WindowHandle> windows;
    WindowHandle foreground = Handle(0x99);
    WindowHandle runningSaver = nullptr;
    std::vector<WindowHandle> broughtForward;
    std::vector<WindowHandle> dialogOwners;
    int32_t dialogResult = 1;
    bool registerFails = false;
    bool createFails = false;
    std::vector<SaverWindowSpec> created;
    std::vector<std::u16string> createdTitles;
    MessageHandler* procedure = nullptr;
    int loops = 0;
    int32_t quitCode = 0;
    bool fault = false; // the guarded body is not run; the guard fires
    bool guarding = false;
    int commandLineReadsUnguarded = 0;
    // What the loop does: by default the saver posts quit at once.
    std::function<void()> duringLoop;

    std::optional<uint32_t> PlatformId() override { return platformId; }
    std::u16string CommandLine() override {
        if (!guarding) ++commandLineReadsUnguarded;
        return commandLine;
    }
    bool IsWindow(WindowHandle w) override { return std::find(windows.begin(), windows.end(), w) != windows.end(); }
    WindowHandle ForegroundWindow() override { return foreground; }
    void BringToForeground(WindowHandle w) override { broughtForward.push_back(w); }
    WindowHandle FindTopLevelWindow(std::u16string_view cls, std::u16string_view title) override {
        return cls == u"WindowsScreenSaverClass" && title == u"Screen Saver" ? runningSaver : nullptr;
    }
    std::optional<WindowSize> ClientSize(WindowHandle) override { return WindowSize{152, 112}; }
    ScreenBox ScreenBounds() override { return {0, 0, 1920, 1080}; }
    uint32_t RegisterMessageName(std::u16string_view name) override {
        return name == u"QueryCancelAutoPlay" ? 0xC0DE : 0;
    }
    bool RegisterSaverClass(const SaverClassSpec& spec, MessageHandler& p) override {
        EXPECT_EQ(spec.name, u"WindowsScreenSaverClass");
        EXPECT_EQ(spec.styles, 0x2Bu);
        procedure = &p;
        return !registerFails;
    }
    WindowHandle CreateSaverWindow(const SaverWindowSpec& spec) override {
        created.push_back(spec);
        createdTitles.emplace_back(spec.title);
        if (createFails) return nullptr;
        procedure->Handle(Handle(0x500), 0x0001, 0, 0);
        return Handle(0x500);
    }
    int32_t RunMessageLoop() override {
        ++loops;
        if (duringLoop) duringLoop();
        return quitCode;
    }
    int32_t RunConfigurationDialog(WindowHandle owner, Log&) override {
        dialogOwners.push_back(owner);
        return dialogResult;
    }
    int32_t RunGuarded(const std::function<int32_t()>& body, const std::function<void()>& onFault) override {
        if (!fault) {
            guarding = true;
            const int32_t result = body();
            guarding = false;
            return result;
        }
        onFault();
        return kFaultExitCode;
    }
};

} // namespace tavelin::fakes
