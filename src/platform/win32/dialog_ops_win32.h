// The DialogOps port over one open Win32 dialog.
#pragma once

#include "settings/dialog_ops.h"

namespace tavelin::win32 {

class Win32DialogOps : public DialogOps {
public:
    void Attach(WindowHandle dialog) { dialog_ = dialog; }

    WindowHandle Window() override { return dialog_; }
    void SetText(int id, std::u16string_view text) override;
    uint32_t GetNumber(int id) override;
    void SetCheck(int id, bool checked) override;
    bool IsChecked(int id) override;
    bool RunFontChoice(FontRequest& request) override;
    void End(intptr_t result) override;
    LogFont SystemFont() override;

private:
    WindowHandle dialog_ = nullptr;
};

} // namespace tavelin::win32
