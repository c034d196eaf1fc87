// The consumer family's password verifier: found at run time, asked once per
// close request, never twice within the pause after an answer.
#include "host/saver_frame.h"

#include "host/saver_messages.h"

namespace tavelin {

bool SaverFrame::VerifySaverPassword(WindowHandle window) {
    if (bVerifying) return false; // a verification is already showing
    if (verifier.function == nullptr) {
        bClosing = true;
        return true;
    }
    if (dwLastVerifyTick != kNoVerifyTick && ops_.TickCount() - dwLastVerifyTick < kVerifyPause) return false;
    bVerifying = true;
    // Frames queued before the dialog would draw over it.
    ops_.RemovePending(window, msg::WM_TIMER);
    ops_.RemovePending(window, msg::WM_TIMER);
    const LResult answer = ops_.Send(window, msg::WM_VERIFY_PASSWORD, 0, 0);
    bClosing = answer != 0;
    bVerifying = false;
    if (!bClosing) ops_.HidePointer();
    dwLastVerifyTick = ops_.TickCount();
    return bClosing;
}

void SaverFrame::NotifySaverRunning(bool running) {
    if (bConsumerPlatform) ops_.SetScreenSaverRunning(running);
}

void SaverFrame::LoadPasswordVerifier() {
    if (!bConsumerPlatform) return;
    if (verifier.library != nullptr) ReleasePasswordVerifier();
    // The stored type is not checked: four bytes that are not all zero mean "on".
    const auto usePassword = ops_.ReadUserNumber(u"Control Panel\\Desktop", u"ScreenSaveUsePassword");
    if (!usePassword || *usePassword == 0) return;
    verifier.library = ops_.LoadNamedLibrary(u"PASSWORD.CPL");
    if (verifier.library == nullptr) return;
    verifier.function = ops_.FindFunction(verifier.library, "VerifyScreenSavePwd");
    if (verifier.function != nullptr) NotifySaverRunning(true);
    else ReleasePasswordVerifier();
}

void SaverFrame::ReleasePasswordVerifier() {
    if (!bConsumerPlatform) return;
    if (verifier.library != nullptr) {
        ops_.FreeLibrary(verifier.library);
        verifier.library = nullptr;
    }
    if (verifier.function != nullptr) {
        verifier.function = nullptr;
        NotifySaverRunning(false);
    }
}

} // namespace tavelin
