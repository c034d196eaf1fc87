// The saver window procedure: start-up and shut-down, and the frame and turn
// ticks, over the Surface and SaverTimers ports. Every other message goes to
// the default saver procedure it is given.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/news.h"
#include "core/ports.h"
#include "core/settings_values.h"
#include "core/window_messages.h"
#include "display/display_line.h"
#include "display/display_state.h"
#include "display/frame_composer.h"
#include "display/random.h"
#include "display/saver_timers.h"
#include "display/surface.h"
#include "lanes/lane_allocator.h"

namespace tavelin {

using WindowProcedure = std::function<LResult(WindowHandle, uint32_t, WParam, LParam)>;

// The start-up steps that other subsystems fill.
struct SaverSteps {
    // Fills the settings (or leaves their defaults) and opens the log when it is on.
    std::function<void(SaverSettings& settings, Log& log)> loadSettings;
    // Fills the message group with the day's texts, in showing order, and the news,
    // and says in DisplayState::dayTexts how many at its head are the day's words.
    std::function<void(Group& messages, News& news)> gatherTexts;
    // Every message the saver window does not handle itself.
    WindowProcedure defaultProc;
};

class SaverWindow {
public:
    SaverWindow(Surface& surface, SaverTimers& timers, Clock& clock, Log& log, SaverSteps steps);
    ~SaverWindow(); // releases whatever WM_DESTROY has not
    SaverWindow(const SaverWindow&) = delete;
    SaverWindow& operator=(const SaverWindow&) = delete;

    LResult Procedure(WindowHandle window, uint32_t message, WParam wParam, LParam lParam);

    SaverSettings settings;
    News news;
    DisplayState display; // the primary monitor's, and the day's texts at start-up
    Lcg15 random;

    // After WM_CREATE: one display per monitor, the primary (display) first.
    uint32_t MonitorCount() const { return static_cast<uint32_t>(monitors_.size()); }
    DisplayState& MonitorState(uint32_t i) { return monitors_[i]->state; }
    Rect MonitorArea(uint32_t i) const { return monitors_[i]->area; }

private:
    // One monitor's display: its lines and lanes, at its place in the window.
    struct Monitor {
        Monitor(DisplayState& shown, Surface& surface, const Rect& at) : state(shown), area(at), composer(surface) {}
        DisplayState& state;
        std::unique_ptr<DisplayState> own; // all but the primary's
        Rect area;                         // in the window
        FrameComposer composer;
        std::vector<const DisplayLine*> frameDraw; // the lines this frame draws, in order
        std::u16string mark;                       // before its lines in the log; empty with one monitor
    };
    // The log marks lines with the monitor while one is at work.
    class Marked {
    public:
        Marked(Log& log, const Monitor& monitor) : log_(log), on_(!monitor.mark.empty()) {
            if (on_) log_.SetMark(monitor.mark);
        }
        ~Marked() {
            if (on_) log_.SetMark({});
        }
        Marked(const Marked&) = delete;
        Marked& operator=(const Marked&) = delete;

    private:
        Log& log_;
        bool on_;
    };

    LResult OnCreate(WindowHandle window);
    LResult OnDestroy(WindowHandle window);
    LResult OnFrameTick(WindowHandle window);
    LResult OnTurnTick(WindowHandle window);

    void PrepareSurface(WindowHandle window);
    void PrepareFonts();
    void LayOutNews();
    void QueueMessages();
    uint32_t MonitorOf(uint32_t text) const;
    void PrepareRecall(DisplayLine& line);
    void Reveal(DisplayLine& line);
    bool Shows(const DisplayLine& line) const;
    void MoveLines(WindowHandle window, Monitor& monitor);
    void TurnLines(Monitor& monitor);
    void ResetForScrolling(DisplayLine& line, int32_t cxScreen);
    void TakeTurn(DisplayState& shown);
    void ReleaseLists(bool logged);
    void ReleaseLists(DisplayState& shown, bool logged);
    void ReleaseLines(Group& lines, bool logged, bool inactive);

    Surface& surface_;
    SaverTimers& timers_;
    Clock& clock_;
    Log& log_;
    SaverSteps steps_;
    LaneAllocator lanes_;

    // Each pass keeps its own record of the lines it visits, so the turn tick
    // sent from inside the frame pass disturbs neither. Reserved at start-up to
    // the number of lines, so no pass allocates.
    std::vector<DisplayLine*> frameVisit_;
    std::vector<DisplayLine*> turnVisit_;
    uint32_t turnTicks_ = 0; // turn ticks so far; tells the frame pass the lists changed

    std::vector<std::unique_ptr<Monitor>> monitors_; // the primary first
};

} // namespace tavelin
