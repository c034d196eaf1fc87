// The frame procedure in front of the display engine and the default saver
// procedure behind it. Closing always goes through a posted WM_CLOSE.
#include "host/saver_frame.h"

#include <cstdlib>

#include "host/saver_messages.h"

namespace tavelin {

LResult SaverFrame::PassOn(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
    if (saverWindowProc_ != nullptr) return saverWindowProc_->Handle(window, message, wParam, lParam);
    return DefaultSaverProc(window, message, wParam, lParam);
}

void SaverFrame::OnCreate(WindowHandle window) {
    // The input method is only taken away when something else loaded it.
    if (LibraryHandle imm = ops_.FindLoadedLibrary(u"IMM32.DLL")) {
        inputMethod.associate = ops_.FindFunction(imm, "ImmAssociateContext");
        if (inputMethod.associate != nullptr)
            inputMethod.previous = ops_.CallImmAssociateContext(inputMethod.associate, window, nullptr);
    }
    if (const auto at = ops_.PointerPosition()) ptStart = *at;
    if (!bPreview) ops_.HidePointer();
}

void SaverFrame::OnDestroy(WindowHandle window) {
    destroyed_ = true;
    if (inputMethod.associate != nullptr && inputMethod.previous != nullptr)
        ops_.CallImmAssociateContext(inputMethod.associate, window, inputMethod.previous);
    ops_.PostQuit(0);
}

LResult SaverFrame::OnHelp(WindowHandle window, uint32_t message, LParam lParam) {
    // The preview pane's owner answers help for the pane.
    const WindowHandle parent = ops_.Parent(window);
    if (parent != nullptr && ops_.IsWindow(parent))
        ops_.Post(parent, message, reinterpret_cast<WParam>(parent), lParam);
    return 1;
}

LResult SaverFrame::SaverFrameProc(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
    switch (message) {
    case msg::WM_CREATE:
        OnCreate(window);
        break;
    case msg::WM_DESTROY:
        OnDestroy(window);
        break;
    case msg::WM_NCDESTROY:
        // A preview whose parent's process ended may see only this: shut down
        // as if destroyed, or the process would stay behind without a window.
        if (!destroyed_) SaverFrameProc(window, msg::WM_DESTROY, 0, 0);
        break;
    case msg::WM_SETTEXT:
        return 0; // the title never changes
    case msg::WM_PAINT:
        if (bClosing) return ops_.DefaultProcessing(window, message, wParam, lParam);
        if (!bPreview) ops_.HidePointer();
        break;
    case msg::WM_HELP:
    case msg::WM_CONTEXTMENU:
        if (bPreview) return OnHelp(window, message, lParam);
        break;
    case msg::WM_KEYDOWN:
    case msg::WM_SYSKEYDOWN:
    case msg::WM_MOUSEMOVE:
    case msg::WM_LBUTTONDOWN:
    case msg::WM_RBUTTONDOWN:
    case msg::WM_MBUTTONDOWN:
        if (bClosing) return ops_.DefaultProcessing(window, message, wParam, lParam);
        break;
    case msg::WM_SYSCOMMAND:
        if (!bPreview && (wParam == msg::SC_NEXTWINDOW || wParam == msg::SC_PREVWINDOW ||
                          wParam == msg::SC_SCREENSAVE))
            return 0; // no window switching, no second saver
        break;
    case msg::WM_TIMER:
        if (bClosing) return 0;
        ops_.YieldTimeSlice();
        break;
    default:
        break;
    }
    return PassOn(window, message, wParam, lParam);
}

void SaverFrame::OnMouseMove(WindowHandle window) {
    // The message's own coordinates are client-relative and not used.
    const auto at = ops_.PointerPosition();
    if (!at) return;
    const int64_t d = std::llabs(int64_t{at->x} - ptStart.x) + std::llabs(int64_t{at->y} - ptStart.y);
    if (d > kMovementThreshold) {
        RequestClose(window);
        ptStart = *at;
    }
}

bool SaverFrame::ApplyInputRules(WindowHandle window, uint32_t message, WParam wParam, LResult* result) {
    switch (message) {
    case msg::WM_SHOWWINDOW:
        if (wParam != 0) ops_.HidePointer();
        return false;
    case msg::WM_ACTIVATEAPP:
        if (wParam == 0) RequestClose(window);
        return false;
    case msg::WM_SETCURSOR:
        ops_.HidePointer();
        *result = 1;
        return true;
    case msg::WM_POWER:
        if (wParam == msg::PWR_CRITICALRESUME) RequestClose(window);
        return false;
    case msg::WM_MOUSEMOVE:
        OnMouseMove(window);
        return false;
    case msg::WM_POWERBROADCAST:
    case msg::WM_KEYDOWN:
    case msg::WM_SYSKEYDOWN:
    case msg::WM_LBUTTONDOWN:
    case msg::WM_RBUTTONDOWN:
    case msg::WM_MBUTTONDOWN:
        RequestClose(window);
        return false;
    default:
        return false;
    }
}

LResult SaverFrame::DefaultSaverProc(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
    // A preview never closes itself; a closing saver only gets default processing.
    if (!bPreview && !bClosing) {
        if (message == msg::WM_CLOSE) {
            if (bConsumerPlatform && !VerifySaverPassword(window)) {
                if (const auto at = ops_.PointerPosition()) ptStart = *at;
                return 0;
            }
        } else if (message == msg::WM_VERIFY_PASSWORD) {
            if (bConsumerPlatform) {
                if (verifier.function == nullptr) return 1;
                return ops_.CallVerifyScreenSavePwd(verifier.function, window) ? 1 : 0;
            }
        } else if (!bVerifying) {
            LResult result = 0;
            if (ApplyInputRules(window, message, wParam, &result)) return result;
        }
    }
    if (uQueryCancelAutoPlay != 0 && message == uQueryCancelAutoPlay) {
        RequestClose(window);
        return verifier.function != nullptr ? 1 : 0;
    }
    return ops_.DefaultProcessing(window, message, wParam, lParam);
}

} // namespace tavelin
