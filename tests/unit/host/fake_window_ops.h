// A window-ops double: records what the closing rules post and call, answers
// pointer, tick and library questions as the test sets them.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "host/window_ops.h"

namespace tavelin::fakes {

struct PostedMessage {
    WindowHandle window;
    uint32_t message;
    WParam wParam;
    LParam lParam;
    bool operator==(const PostedMessage&) const = default;
};

class FakeWindowOps : public WindowOps {
public:
    std::vector<PostedMessage> posted;
    std::vector<uint32_t> defaultProcessed;
    std::vector<uint32_t> removed;
    std::vector<int32_t> quits;
    std::vector<bool> running; // SetScreenSaverRunning calls
    int hides = 0;
    int yields = 0;
    std::optional<ScreenPoint> pointer = ScreenPoint{100, 100};
    uint32_t ticks = 5000;
    std::map<WindowHandle, WindowHandle> parents;
    std::vector<WindowHandle> windows;
    LResult defaultResult = 0;
    // What Send does; the tests route it back into the frame.
    std::function<LResult(WindowHandle, uint32_t, WParam, LParam)> onSend;

    // Libraries: loaded ones by name, and which functions each has.
    std::map<std::u16string, LibraryHandle> loaded;   // already in the process
    std::map<std::u16string, LibraryHandle> loadable; // LoadLibrary finds these
    std::map<std::string, FunctionHandle> functions;  // by function name, in any library
    std::vector<LibraryHandle> freed;
    std::vector<std::pair<WindowHandle, InputContext>> immCalls;
    InputContext immPrevious = nullptr;
    std::vector<bool> verifierAnswers; // consumed one per call; true when empty
    int verifyCalls = 0;
    std::vector<std::pair<std::u16string, WindowHandle>> passwordChanges;
    std::optional<uint32_t> usePassword; // "ScreenSaveUsePassword"; none: absent

    size_t CloseRequests() const {
        size_t n = 0;
        for (const auto& p : posted) n += p.message == 0x0010 ? 1 : 0;
        return n;
    }

    void Post(WindowHandle w, uint32_t m, WParam wp, LParam lp) override { posted.push_back({w, m, wp, lp}); }
    LResult Send(WindowHandle w, uint32_t m, WParam wp, LParam lp) override {
        return onSend ? onSend(w, m, wp, lp) : 0;
    }
    bool RemovePending(WindowHandle, uint32_t m) override {
        removed.push_back(m);
        return false;
    }
    LResult DefaultProcessing(WindowHandle, uint32_t m, WParam, LParam) override {
        defaultProcessed.push_back(m);
        return defaultResult;
    }
    void PostQuit(int32_t code) override { quits.push_back(code); }
    WindowHandle Parent(WindowHandle w) override {
        const auto it = parents.find(w);
        return it == parents.end() ? nullptr : it->second;
    }
    bool IsWindow(WindowHandle w) override {
        for (WindowHandle x : windows)
            if (x == w) return true;
        return false;
    }
    void HidePointer() override { ++hides; }
    std::optional<ScreenPoint> PointerPosition() override { return pointer; }
    uint32_t TickCount() override { return ticks; }
    void YieldTimeSlice() override { ++yields; }
    LibraryHandle FindLoadedLibrary(std::u16string_view name) override {
        const auto it = loaded.find(std::u16string(name));
        return it == loaded.end() ? nullptr : it->second;
    }
    LibraryHandle LoadNamedLibrary(std::u16string_view name) override {
        const auto it = loadable.find(std::u16string(name));
        return it == loadable.end() ? nullptr : it->second;
    }
    void FreeLibrary(LibraryHandle library) override { freed.push_back(library); }
    FunctionHandle FindFunction(LibraryHandle, const char* name) override {
        const auto it = functions.find(name);
        return it == functions.end() ? nullptr : it->second;
    }
    InputContext CallImmAssociateContext(FunctionHandle, WindowHandle w, InputContext c) override {
        immCalls.emplace_back(w, c);
        return immPrevious;
    }
    bool CallVerifyScreenSavePwd(FunctionHandle, WindowHandle) override {
        ++verifyCalls;
        if (verifierAnswers.empty()) return true;
        const bool answer = verifierAnswers.front();
        verifierAnswers.erase(verifierAnswers.begin());
        return answer;
    }
    void CallPwdChangePassword(FunctionHandle, std::u16string_view provider, WindowHandle parent) override {
        passwordChanges.emplace_back(std::u16string(provider), parent);
    }
    std::optional<uint32_t> ReadUserNumber(std::u16string_view, std::u16string_view) override {
        return usePassword;
    }
    void SetScreenSaverRunning(bool on) override { running.push_back(on); }
};

} // namespace tavelin::fakes
