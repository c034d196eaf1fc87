// The DialogOps port: what the configuration dialog's procedure asks of the
// platform's dialog manager, by control id, for one open dialog. Controls
// are addressed by id, so the procedure keeps no control handles.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/settings_values.h"
#include "core/window_messages.h"

namespace tavelin {

// The font-choice request, as the platform's record takes it.
struct FontRequest {
    WindowHandle hwndOwner = nullptr;
    LogFont* lpLogFont = nullptr; // starts from it; receives the choice on confirmation
    int32_t iPointSize = 0;
    uint32_t Flags = 0;
    uint32_t rgbColors = 0;
};
// CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT | CF_EFFECTS
inline constexpr uint32_t kFontRequestFlags = 0x141;

class DialogOps {
public:
    virtual ~DialogOps() = default;
    virtual WindowHandle Window() = 0;
    virtual void SetText(int id, std::u16string_view text) = 0;
    // The control's text as an unsigned number; 0 when it is not one.
    virtual uint32_t GetNumber(int id) = 0;
    virtual void SetCheck(int id, bool checked) = 0;
    virtual bool IsChecked(int id) = 0;
    // Runs the modal font choice; true when the user confirmed.
    virtual bool RunFontChoice(FontRequest& request) = 0;
    virtual void End(intptr_t result) = 0;
    // The description of the platform's stock system font.
    virtual LogFont SystemFont() = 0;
};

} // namespace tavelin
