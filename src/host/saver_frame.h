// The behaviour every saver window shares: the frame's own handling of a few
// messages before the display engine sees them, the closing rules after it,
// and the consumer family's password verification.
#pragma once

#include <cstdint>

#include "core/window_messages.h"
#include "host/window_ops.h"

namespace tavelin {

// A window procedure the frame passes messages on to.
class MessageHandler {
public:
    virtual ~MessageHandler() = default;
    virtual LResult Handle(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) = 0;
};

// A MessageHandler that calls one procedure member of an object.
template <class T, LResult (T::*Procedure)(WindowHandle, uint32_t, WParam, LParam)>
class MemberHandler : public MessageHandler {
public:
    explicit MemberHandler(T& object) : object_(object) {}
    LResult Handle(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) override {
        return (object_.*Procedure)(window, message, wParam, lParam);
    }

private:
    T& object_;
};

class SaverFrame {
public:
    static constexpr int32_t kMovementThreshold = 4;  // pixels, |dx| + |dy|
    static constexpr uint32_t kVerifyPause = 200;      // ms after a verification
    static constexpr uint32_t kNoVerifyTick = 0xFFFFFFFFu;

    explicit SaverFrame(WindowOps& ops) : ops_(ops) {}
    SaverFrame(const SaverFrame&) = delete;
    SaverFrame& operator=(const SaverFrame&) = delete;

    // The saver window procedure that messages are passed on to; without one
    // they go straight to DefaultSaverProc.
    void SetSaverWindowProcedure(MessageHandler* procedure) { saverWindowProc_ = procedure; }

    LResult SaverFrameProc(WindowHandle window, uint32_t message, WParam wParam, LParam lParam);
    LResult DefaultSaverProc(WindowHandle window, uint32_t message, WParam wParam, LParam lParam);
    bool VerifySaverPassword(WindowHandle window);
    void NotifySaverRunning(bool running);
    void LoadPasswordVerifier();
    void ReleasePasswordVerifier();

    bool bConsumerPlatform = false;    // set once at entry from the version report
    bool bPreview = false;             // a child window inside a preview pane
    uint32_t uQueryCancelAutoPlay = 0; // registered "QueryCancelAutoPlay"; consumer family only
    bool bClosing = false;             // the saver may close
    bool bVerifying = false;           // a password verification is showing
    ScreenPoint ptStart;               // pointer position that movement is measured from
    uint32_t dwLastVerifyTick = kNoVerifyTick;

    struct Verifier {
        LibraryHandle library = nullptr;   // "PASSWORD.CPL"
        FunctionHandle function = nullptr; // its "VerifyScreenSavePwd"
    } verifier;

    struct InputMethod {
        FunctionHandle associate = nullptr; // "ImmAssociateContext" of an already loaded "IMM32.DLL"
        InputContext previous = nullptr;    // the context it took from the window
    } inputMethod;

private:
    LResult PassOn(WindowHandle window, uint32_t message, WParam wParam, LParam lParam);
    void OnCreate(WindowHandle window);
    void OnDestroy(WindowHandle window);
    LResult OnHelp(WindowHandle window, uint32_t message, LParam lParam);
    // The closing rules for input while no verification runs; true when the
    // message is answered (with *result) without default processing.
    bool ApplyInputRules(WindowHandle window, uint32_t message, WParam wParam, LResult* result);
    void OnMouseMove(WindowHandle window);
    void RequestClose(WindowHandle window) { ops_.Post(window, msg::WM_CLOSE, 0, 0); }

    WindowOps& ops_;
    MessageHandler* saverWindowProc_ = nullptr;
    bool destroyed_ = false; // WM_DESTROY has been handled
};

} // namespace tavelin
