// The saver window procedure: start-up and shut-down, and the frame and turn
// ticks, over the Surface and SaverTimers ports. Every other message goes to
// the default saver procedure it is given.
#pragma once

#include <cstdint>
#include <functional>
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
    DisplayState display;
    Lcg15 random;

private:
    LResult OnCreate(WindowHandle window);
    LResult OnDestroy(WindowHandle window);
    LResult OnFrameTick(WindowHandle window);
    LResult OnTurnTick(WindowHandle window);

    void PrepareSurface(WindowHandle window);
    void PrepareFonts();
    void LayOutNews();
    void QueueMessages();
    void PrepareRecall(DisplayLine& line);
    void Reveal(DisplayLine& line);
    bool Shows(const DisplayLine& line) const;
    void ResetForScrolling(DisplayLine& line);
    void TakeTurn();
    bool IsActive(const DisplayLine* line);
    void ReleaseLists(bool logged);
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
    std::vector<const DisplayLine*> frameDraw_; // the lines this frame draws, in order

    FrameComposer composer_; // what each frame puts on the window
};

} // namespace tavelin
