// The process entry: reads the command line, runs one mode and gives its
// exit code. The saver window's own procedure is attached from outside.
#pragma once

#include <cstdint>

#include "host/command_line.h"
#include "host/entry_ops.h"
#include "host/saver_frame.h"
#include "host/window_ops.h"

namespace tavelin {

class SaverHost {
public:
    static constexpr std::u16string_view kClassName = u"WindowsScreenSaverClass";
    static constexpr std::u16string_view kFullScreenTitle = u"Screen Saver";
    static constexpr std::u16string_view kPreviewTitle = u"Preview";
    static constexpr uint32_t kClassStyles = 0x2B; // CS_OWNDC | CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW
    static constexpr uint32_t kFullScreenStyle = 0x80000000u | 0x10000000u | 0x02000000u | 0x04000000u;
    static constexpr uint32_t kFullScreenExStyle = 0x8;                  // WS_EX_TOPMOST
    static constexpr uint32_t kPreviewStyle = 0x40000000u | 0x10000000u | 0x02000000u; // WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN
    static constexpr uint32_t kConsumerPlatformId = 1;

    SaverHost(EntryOps& entry, WindowOps& window, Log& log)
        : frame(window), entry_(entry), window_(window), log_(log) {}
    SaverHost(const SaverHost&) = delete;
    SaverHost& operator=(const SaverHost&) = delete;

    // The whole process: the exit code of the mode the command line names.
    int32_t SaverEntry();
    int32_t RunMode(const SaverCommand& command);
    int32_t RunConfigDialog(WindowHandle parent);
    int32_t RunSaverWindow(WindowHandle parent);
    void RunPasswordChange(WindowHandle parent);

    SaverFrame frame;
    WindowHandle hSaverWindow = nullptr;

private:
    // A window number from the command line when it names a window.
    WindowHandle NamedWindow(uint32_t number);

    EntryOps& entry_;
    WindowOps& window_;
    Log& log_;
    MemberHandler<SaverFrame, &SaverFrame::SaverFrameProc> frameProcedure_{frame};
};

} // namespace tavelin
