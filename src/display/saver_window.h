// The saver window procedure: start-up and shut-down, and the frame and turn
// ticks, over the Surface port. Every other message goes to the default saver
// procedure it is given.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "core/log.h"
#include "core/news.h"
#include "core/ports.h"
#include "core/settings_values.h"
#include "core/window_messages.h"
#include "display/display_line.h"
#include "display/display_state.h"
#include "display/random.h"
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
    SaverWindow(Surface& surface, Clock& clock, Log& log, SaverSteps steps);
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
    void Compose(WindowHandle window);
    void MatchPictures();
    bool KeepPictures();
    void ComposeDirect();
    void ComposeWhole();
    void ComposeChanges();
    bool KeepLine(uint32_t slot, const DisplayLine& line);
    bool KeepNews();
    bool Shows(const DisplayLine& line) const;
    void DrawLine(const DisplayLine& line);
    void DrawNews();
    void DropPictures();
    struct Picture;
    template <class Visit>
    void ForEachShown(Visit visit);
    Rect Place(const Picture& picture, int32_t x, int32_t y) const;
    void ResetForScrolling(DisplayLine& line);
    void TakeTurn();
    bool IsActive(const DisplayLine* line);
    void ReleaseLists(bool logged);
    void ReleaseLines(Group& lines, bool logged, bool inactive);

    Surface& surface_;
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

    // What each thing on screen looks like, kept by the surface in the slot of
    // the same index: one per line that can be on screen, then the news. A
    // frame clears and copies only where pictures were and are; pictures keep
    // to rows no other uses, so copying one never covers another's ink.
    struct Picture {
        const void* owner = nullptr; // the line or the news shown; null: the slot is free
        uint32_t colour = 0;
        bool hidden = false;         // kept showing the word alone (Recall)
        std::optional<Rect> ink;     // relative to its corner; nullopt: drawn directly
        bool ownRows = false;        // its ink stays in rows no other picture uses
        bool onFrame = false;        // drawn in this frame
        Rect shown;                  // where the back buffer holds it, on the screen
    };
    std::vector<Picture> pictures_;
    std::vector<const DisplayLine*> frameDraw_; // the lines this frame draws, in order
    std::vector<Rect> vacated_;                 // where pictures of lines that left were
    bool wholeNext_ = true;  // the window may hold anything: compose and copy it all
    bool inkTurned_ = false; // the font is turned: its ink leaves every measured box
};

} // namespace tavelin
