// The screen saver's command line as a pure function: which mode to run and
// with which window number. Whether the number names a window is the caller's
// question.
#pragma once

#include <cstdint>
#include <string_view>

namespace tavelin {

enum class SaverMode : uint8_t {
    ConfigureAlone, // no switch: the configuration dialog without an owner
    Configure,      // "/c": the dialog owned by the window named, or the foreground window
    FullScreen,     // the saver itself
    Preview,        // a child window inside the display settings' preview pane
    PasswordChange, // the consumer family's password change
    Invalid,        // an unknown switch or a control character: exit code -1
};

struct SaverCommand {
    SaverMode mode = SaverMode::Invalid;
    uint32_t window = 0; // the number after the switch ("/c" only after a colon); 0 when none
};

// The decimal digits at the start of text; 0 when there are none, and 0 when
// the number does not fit in 32 bits (no window handle is that large).
uint32_t ParseWindowNumber(std::u16string_view text);

// The whole command line as the process received it, program path first.
SaverCommand ParseCommandLine(std::u16string_view commandLine);

} // namespace tavelin
