// The frame tick (move, compose, copy) and the turn tick (reset, queue and
// bring on lines) of the saver window.
#include "display/activation.h"
#include "display/saver_window.h"
#include "display/timer_ids.h"

namespace tavelin {
namespace {

void Snapshot(Group& lines, std::vector<DisplayLine*>& visit) {
    visit.clear();
    for (uint32_t i = 0; i < lines.GetCount(); ++i) visit.push_back(static_cast<DisplayLine*>(lines.GetAt(i)));
}

// The position of line in lines, or kAppend when it is not there.
uint32_t PositionOf(Group& lines, const DisplayLine* line) {
    for (uint32_t i = 0; i < lines.GetCount(); ++i)
        if (lines.GetAt(i) == line) return i;
    return Group::kAppend;
}

} // namespace

LResult SaverWindow::OnFrameTick(WindowHandle window) {
    for (auto& monitor : monitors_) MoveLines(window, *monitor);
    if (news.gNewsSet && --display.cxNewsPos <= -10 - display.NewsSize.cx) display.cxNewsPos = display.cxScreen + 1;
    const NewsTicker ticker{news.gNewsString, display.NewsSize, display.cxNewsPos, display.cyNewsPos};
    for (auto& monitor : monitors_) {
        // The ticker runs along the primary's bottom.
        const bool ticks = news.gNewsSet && &monitor->state == &display;
        monitor->composer.Compose(window, monitor->frameDraw, ticks ? &ticker : nullptr);
    }
    return 0;
}

void SaverWindow::MoveLines(WindowHandle window, Monitor& monitor) {
    DisplayState& shown = monitor.state;
    Snapshot(shown.gActiveStrings, frameVisit_);
    monitor.frameDraw.clear();
    const uint32_t turnsBefore = turnTicks_;
    for (DisplayLine* line : frameVisit_) {
        // A nested turn tick may have taken it off the screen.
        if (turnTicks_ != turnsBefore && PositionOf(shown.gActiveStrings, line) == Group::kAppend) continue;
        line->cxPos -= line->iSpeed;
        if (line->hidden && line->cxPos <= shown.cxScreen / 2) {
            const Marked marked(log_, monitor);
            Reveal(*line);
        }
        if (line->cxPos < -line->cxSize) {
            ++line->iScrollCount;
            timers_.SendTurnTick(window);
            continue;
        }
        // Drawn after the pass: a nested turn tick changes no line drawn before it.
        if (Shows(*line)) monitor.frameDraw.push_back(line);
    }
}

bool SaverWindow::Shows(const DisplayLine& line) const { return !IsLogoPlaceholder(line) || settings.gLogoEnabled; }

LResult SaverWindow::OnTurnTick(WindowHandle window) {
    ++turnTicks_;
    log_.Write(u"WM_TIMER,ID_TURNTIMER Message Received");
    timers_.StopTimer(window, ID_TURNTIMER);
    timers_.StartTimer(window, ID_TURNTIMER, static_cast<uint32_t>(RANDOMINRANGE(random, 2000, 10000)));
    for (auto& monitor : monitors_) {
        const Marked marked(log_, *monitor);
        TurnLines(*monitor);
    }
    return 0;
}

void SaverWindow::TurnLines(Monitor& monitor) {
    DisplayState& shown = monitor.state;
    Group& active = shown.gActiveStrings;
    Snapshot(active, turnVisit_);
    int32_t i = 0;
    for (DisplayLine* line : turnVisit_) {
        log_.Write(u"WM_TIMER,ID_TURNTIMER -- START -- ");
        log_.Write(u"WM_TIMER,ID_TURNTIMER Considering Active String %d", i);
        if (line->cxPos < -line->cxSize) {
            log_.Write(u"WM_TIMER,ID_TURNTIMER Active String %d is resetting for scrolling.", i);
            ResetForScrolling(*line, shown.cxScreen);
        }
        if (line->iScrollCount >= 1) {
            log_.Write(u"WM_TIMER,ID_TURNTIMER Active String %d exceeded scroll count, deactivating, resetting "
                       u"scrollcount",
                       i);
            line->iScrollCount = 0;
            const uint32_t position = PositionOf(active, line);
            if (position != Group::kAppend)
                DEACTIVATE(active, shown.gInactiveStrings, position, shown.gRanges, lanes_, log_);
        }
        ++i;
    }
    TakeTurn(shown);
}

// Once a pass; the line's picture is kept anew in this frame's composition.
void SaverWindow::Reveal(DisplayLine& line) {
    line.hidden = false;
    line.cxSize = line.cxWhole;
    log_.Write(u"WM_TIMER,ID_FRAMETIMER Recall: line at x=%d shows its translation, %d pixels wide", line.cxPos,
               line.cxSize);
}

void SaverWindow::ResetForScrolling(DisplayLine& line, int32_t cxScreen) {
    line.cxPos = cxScreen;
    if (line.cchWord != 0) HideTranslation(line);
    const int32_t blue = RANDOMINRANGE(random, 100, 255);
    const int32_t green = RANDOMINRANGE(random, 100, 255);
    const int32_t red = RANDOMINRANGE(random, 100, 255);
    line.crText = MakeColour(red, green, blue);
    line.iSpeed = RANDOMINRANGE(random, 1, 4);
}

void SaverWindow::TakeTurn(DisplayState& shown) {
    if (shown.gActiveStrings.GetCount() < settings.dwMaxShowStrings && shown.gInactiveStrings.GetCount() > 0) {
        log_.Write(u"WM_TIMER,ID_TURNTIMER Have not got enough strings, so activating string at head of Inactive "
                   u"Queue.");
        ACTIVATE(shown.gActiveStrings, shown.gInactiveStrings, shown.cyClientScrolling, shown.gRanges, lanes_, log_);
        log_.Write(u"WM_TIMER,ID_TURNTIMER Returned from Activate function.");
    } else {
        log_.Write(u"WM_TIMER,ID_TURNTIMER Have reached active string limit, so not activating another string.");
    }
}

} // namespace tavelin
