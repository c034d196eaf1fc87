// The frame composer: decides what each frame puts on the window. Each line,
// the logo and the news are kept as pictures when they come on and put in
// place; a frame of changes clears and shows only where pictures were and are;
// a whole frame when the window may hold anything else; texts drawn directly,
// in order, when ink may stray into another's rows.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "display/display_line.h"
#include "display/rect.h"
#include "display/surface.h"

namespace tavelin {

// The news ticker as this frame shows it.
struct NewsTicker {
    std::u16string_view text;
    TextSize size;
    int32_t x = 0;
    int32_t y = 0;
};

class FrameComposer {
public:
    explicit FrameComposer(Surface& surface) : surface_(surface) {}
    FrameComposer(const FrameComposer&) = delete;
    FrameComposer& operator=(const FrameComposer&) = delete;

    // Slots firstSlot onwards for at most lines lines on screen and the news,
    // over a display at area of the window. The lines' and the ticker's places
    // are relative to the area's corner (lines scroll in rows above
    // scrollingBottom). A turned font's ink leaves every measured box, so its
    // texts are always drawn directly.
    void Prepare(const Rect& area, int32_t scrollingBottom, uint32_t lines, bool turnedFont, uint32_t firstSlot = 0);
    // How many surface slots Prepare took.
    uint32_t SlotCount() const { return static_cast<uint32_t>(lineSlots_.size()) + 1; }
    // The window may hold anything: the next frame is composed whole.
    void Invalidate() { wholeNext_ = true; }
    // This frame: the lines to draw, in order, and the ticker when one runs.
    void Compose(WindowHandle window, std::span<const DisplayLine* const> lines, const NewsTicker* news);
    // Every picture goes; nothing is composed until the next Prepare.
    void DropAll();

private:
    // What one thing on screen looks like, kept by the surface in a slot.
    struct PictureSlot {
        const DisplayLine* line = nullptr; // the line it shows; null: free (the news slot: see newsKept_)
        uint32_t colour = 0;
        bool hidden = false;     // kept showing the word alone (Recall)
        std::optional<Rect> ink; // relative to its corner; nullopt: drawn directly
        bool ownRows = false;    // its ink stays in rows no other picture uses
        bool onFrame = false;    // drawn in this frame
        Rect shown;              // where the window shows it
    };

    uint32_t NewsSlot() const { return static_cast<uint32_t>(lineSlots_.size()); }
    uint32_t SurfaceSlot(uint32_t index) const { return firstSlot_ + index; }
    Rect InWindow(const Rect& r) const { return r.Offset(originX_, originY_); }
    void MatchPictures(std::span<const DisplayLine* const> lines, const NewsTicker* news);
    void Vacate(PictureSlot& slot, uint32_t index);
    bool KeepPictures(std::span<const DisplayLine* const> lines, const NewsTicker* news);
    bool KeepLine(uint32_t index, const DisplayLine& line);
    bool KeepNews(const NewsTicker& news);
    template <class Visit>
    void ForEachShown(const NewsTicker* news, Visit visit);
    Rect Place(const PictureSlot& slot, int32_t x, int32_t y) const;
    void ComposeWhole(const NewsTicker* news);
    void ComposeChanges(const NewsTicker* news);
    void ComposeDirect(std::span<const DisplayLine* const> lines, const NewsTicker* news);

    Surface& surface_;
    Rect screen_; // the display, at 0, 0: every place below is relative to it
    int32_t originX_ = 0, originY_ = 0; // the display's corner in the window
    uint32_t firstSlot_ = 0;
    int32_t scrollingBottom_ = 0;
    bool turnedFont_ = false;
    bool prepared_ = false;
    // Pictures keep to rows no other uses, so putting one never covers another's ink.
    std::vector<PictureSlot> lineSlots_; // one per line that can be on screen
    PictureSlot newsSlot_;               // the ticker's, after the lines' slots
    bool newsKept_ = false;
    std::vector<Rect> vacated_; // where pictures of lines that left were
    bool wholeNext_ = true;     // the window may hold anything: compose and copy it all
};

} // namespace tavelin
