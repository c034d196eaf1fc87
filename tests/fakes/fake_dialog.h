// A dialog double: controls as texts and check states, a scripted font choice,
// and a record of how the dialog ended.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "settings/dialog_ops.h"

namespace tavelin::fakes {

class FakeDialog : public DialogOps {
public:
    std::map<int, std::u16string> texts;
    std::map<int, bool> checks;
    // The font the user picks; nothing: the font dialog is cancelled.
    std::optional<LogFont> fontChoice;
    LogFont systemFont;
    std::vector<FontRequest> fontRequests; // as each font dialog received it
    std::optional<intptr_t> ended;
    WindowHandle window = reinterpret_cast<WindowHandle>(0x2003);

    WindowHandle Window() override { return window; }
    void SetText(int id, std::u16string_view text) override { texts[id] = std::u16string(text); }
    uint32_t GetNumber(int id) override;
    void SetCheck(int id, bool checked) override { checks[id] = checked; }
    bool IsChecked(int id) override { return checks[id]; }
    bool RunFontChoice(FontRequest& request) override;
    void End(intptr_t result) override { ended = result; }
    LogFont SystemFont() override { return systemFont; }
};

} // namespace tavelin::fakes
