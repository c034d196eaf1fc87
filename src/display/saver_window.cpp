// The saver window procedure's dispatch and the window's life as an object.
#include "display/saver_window.h"

#include <utility>

#include "core/text.h"
#include "display/timer_ids.h"
#include "lanes/range.h"

namespace tavelin {

SaverWindow::SaverWindow(Surface& surface, SaverTimers& timers, Clock& clock, Log& log, SaverSteps steps)
    : surface_(surface), timers_(timers), clock_(clock), log_(log), steps_(std::move(steps)), lanes_(log, random) {}

SaverWindow::~SaverWindow() {
    ReleaseLists(false);
    while (display.messages.GetCount() > 0) ReleaseText(static_cast<char16_t*>(display.messages.RemoveAt(0)));
}

LResult SaverWindow::Procedure(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
    switch (message) {
    case msg::WM_CREATE:
        return OnCreate(window);
    case msg::WM_DESTROY:
        return OnDestroy(window);
    case msg::WM_TIMER:
        if (wParam == ID_FRAMETIMER) return OnFrameTick(window);
        if (wParam == ID_TURNTIMER) return OnTurnTick(window);
        return 0;
    case msg::WM_PAINT:
    case msg::WM_ERASEBKGND:
    case msg::WM_SIZE:
    case msg::WM_SHOWWINDOW:
    case msg::WM_WINDOWPOSCHANGED:
    case msg::WM_DISPLAYCHANGE:
        // Something else may have drawn on the window.
        for (auto& monitor : monitors_) monitor->composer.Invalidate();
        [[fallthrough]];
    default:
        return steps_.defaultProc ? steps_.defaultProc(window, message, wParam, lParam) : 0;
    }
}

void SaverWindow::ReleaseLines(Group& lines, bool logged, bool inactive) {
    for (uint32_t i = 0; i < lines.GetCount(); ++i) {
        if (logged && inactive)
            log_.Write(u"WM_DESTROY gInactiveStrings(%d), Attempting deletion...", static_cast<int32_t>(i));
        else if (logged)
            log_.Write(u"WM_DESTROY gActiveStrings(%d), Attempting deletion...", static_cast<int32_t>(i));
        ReleaseDisplayLine(static_cast<DisplayLine*>(lines.GetAt(i)));
    }
    while (lines.GetCount() > 0) lines.RemoveAt(0);
}

void SaverWindow::ReleaseLists(bool logged) {
    if (monitors_.empty()) {
        ReleaseLists(display, logged);
        return;
    }
    for (auto& monitor : monitors_) {
        const Marked marked(log_, *monitor);
        ReleaseLists(monitor->state, logged);
    }
}

void SaverWindow::ReleaseLists(DisplayState& shown, bool logged) {
    ReleaseLines(shown.gActiveStrings, logged, false);
    ReleaseLines(shown.gInactiveStrings, logged, true);
    Group& ranges = shown.gRanges;
    for (uint32_t i = 0; i < ranges.GetCount(); ++i) {
        if (logged) log_.Write(u"WM_DESTROY Range(%d), Attempting deletion...", static_cast<int32_t>(i));
        delete static_cast<Range*>(ranges.GetAt(i));
    }
    while (ranges.GetCount() > 0) ranges.RemoveAt(0);
}

} // namespace tavelin
