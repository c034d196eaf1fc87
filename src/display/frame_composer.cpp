// Composing a frame from kept pictures, or drawing it directly.
#include "display/frame_composer.h"

namespace tavelin {
namespace {

constexpr uint32_t kWhite = 0xFFFFFF;

} // namespace

void FrameComposer::Prepare(const Rect& area, int32_t scrollingBottom, uint32_t lines, bool turnedFont,
                            uint32_t firstSlot) {
    screen_ = Rect{0, 0, area.cx, area.cy};
    originX_ = area.x;
    originY_ = area.y;
    firstSlot_ = firstSlot;
    scrollingBottom_ = scrollingBottom;
    turnedFont_ = turnedFont;
    lineSlots_.assign(lines, PictureSlot{});
    newsSlot_ = PictureSlot{};
    newsKept_ = false;
    vacated_.reserve(lines + 1);
    prepared_ = true;
}

void FrameComposer::Compose(WindowHandle window, std::span<const DisplayLine* const> lines, const NewsTicker* news) {
    MatchPictures(lines, news);
    const bool kept = !turnedFont_ && KeepPictures(lines, news);
    const bool whole = wholeNext_ || !kept;
    if (!surface_.BeginFrame(window, whole ? Surface::Frame::Whole : Surface::Frame::Changes)) {
        wholeNext_ = true; // nothing reached the window
        return;
    }
    if (!kept)
        ComposeDirect(lines, news);
    else if (whole)
        ComposeWhole(news);
    else
        ComposeChanges(news);
    surface_.EndFrame();
    wholeNext_ = !kept; // after direct drawing the pictures' places are not known
}

void FrameComposer::Vacate(PictureSlot& slot, uint32_t index) {
    if (!slot.shown.Empty()) vacated_.push_back(slot.shown);
    surface_.DropPicture(SurfaceSlot(index));
    slot = PictureSlot{};
}

// Marks the pictures this frame draws; the others' lines have left: their
// pictures go, and the places they held are to be cleared.
void FrameComposer::MatchPictures(std::span<const DisplayLine* const> lines, const NewsTicker* news) {
    vacated_.clear();
    for (PictureSlot& slot : lineSlots_) slot.onFrame = false;
    for (const DisplayLine* line : lines)
        for (PictureSlot& slot : lineSlots_)
            if (slot.line == line) slot.onFrame = true;
    for (uint32_t i = 0; i < lineSlots_.size(); ++i)
        if (lineSlots_[i].line != nullptr && !lineSlots_[i].onFrame) Vacate(lineSlots_[i], i);
    newsSlot_.onFrame = newsKept_ && news != nullptr;
    if (newsKept_ && news == nullptr) {
        Vacate(newsSlot_, NewsSlot());
        newsKept_ = false;
    }
}

// Keeps a picture for each newcomer; false when some thing must be drawn directly.
bool FrameComposer::KeepPictures(std::span<const DisplayLine* const> lines, const NewsTicker* news) {
    if (!prepared_) return false;
    bool all = true;
    const uint32_t slots = static_cast<uint32_t>(lineSlots_.size());
    for (const DisplayLine* line : lines) {
        uint32_t slot = 0;
        while (slot < slots && lineSlots_[slot].line != line) ++slot;
        if (slot == slots) { // a newcomer: the first free slot
            slot = 0;
            while (slot < slots && lineSlots_[slot].line != nullptr) ++slot;
        }
        if (slot == slots) {
            all = false; // no slot left: drawn directly
            continue;
        }
        const bool own = KeepLine(slot, *line);
        all = all && own;
    }
    if (news != nullptr) {
        const bool own = KeepNews(*news);
        all = all && own;
    }
    return all;
}

bool FrameComposer::KeepLine(uint32_t index, const DisplayLine& line) {
    PictureSlot& slot = lineSlots_[index];
    if (slot.line != &line || slot.colour != line.crText || slot.hidden != line.hidden) {
        slot.line = &line;
        slot.onFrame = true;
        slot.colour = line.crText;
        slot.hidden = line.hidden;
        slot.ink = IsLogoPlaceholder(line)
                       ? surface_.KeepLogo(SurfaceSlot(index), line.cxSize, line.cySize)
                       : surface_.KeepText(SurfaceSlot(index), FontKind::Line, TextSize{line.cxSize, line.cySize},
                                           line.crText, ShownText(line));
        slot.ownRows = slot.ink && (slot.ink->Empty() || (slot.ink->y >= 0 && slot.ink->Bottom() <= line.cySize));
    }
    return slot.ownRows;
}

bool FrameComposer::KeepNews(const NewsTicker& news) {
    PictureSlot& slot = newsSlot_;
    if (!newsKept_) {
        newsKept_ = true;
        slot.onFrame = true;
        slot.colour = kWhite;
        slot.ink = surface_.KeepText(SurfaceSlot(NewsSlot()), FontKind::News, news.size, kWhite, news.text);
        // The ticker has rows of its own only below a shortened scrolling band.
        slot.ownRows = slot.ink && scrollingBottom_ < screen_.Bottom() &&
                       (slot.ink->Empty() || news.y + slot.ink->y >= scrollingBottom_);
    }
    return slot.ownRows;
}

// The pictures on screen, in slot order: the lines, then the news.
template <class Visit>
void FrameComposer::ForEachShown(const NewsTicker* news, Visit visit) {
    for (uint32_t i = 0; i < lineSlots_.size(); ++i) {
        PictureSlot& slot = lineSlots_[i];
        if (slot.line != nullptr) visit(slot, i, slot.line->cxPos, slot.line->cyPos);
    }
    if (newsKept_ && news != nullptr) visit(newsSlot_, NewsSlot(), news->x, news->y);
}

Rect FrameComposer::Place(const PictureSlot& slot, int32_t x, int32_t y) const {
    return slot.ink ? Intersect(slot.ink->Offset(x, y), screen_) : Rect{};
}

// Every picture put on a black canvas, all of it shown.
void FrameComposer::ComposeWhole(const NewsTicker* news) {
    const Rect screen = InWindow(screen_);
    surface_.Clear(screen);
    ForEachShown(news, [&](PictureSlot& slot, uint32_t index, int32_t x, int32_t y) {
        surface_.PutPicture(SurfaceSlot(index), x + originX_, y + originY_, screen);
        slot.shown = Place(slot, x, y);
    });
    surface_.Show(screen);
}

// Straight onto the window, which holds the last frame: where a line that left
// was is cleared; each picture clears what it no longer covers and is put in
// its new place. Each is shown on its own; none reaches into another's rows,
// and nothing reaches beyond the display.
void FrameComposer::ComposeChanges(const NewsTicker* news) {
    for (const Rect& left : vacated_) {
        surface_.Clear(InWindow(left));
        surface_.Show(InWindow(left));
    }
    const Rect screen = InWindow(screen_);
    ForEachShown(news, [&](PictureSlot& slot, uint32_t index, int32_t x, int32_t y) {
        const Rect now = Place(slot, x, y);
        Rect parts[4];
        const int n = Subtract(slot.shown, now, parts);
        for (int i = 0; i < n; ++i) surface_.Clear(InWindow(parts[i]));
        surface_.PutPicture(SurfaceSlot(index), x + originX_, y + originY_, screen);
        const Rect both = Bound(slot.shown, now);
        if (!both.Empty()) surface_.Show(InWindow(both));
        slot.shown = now;
    });
}

// The frame composed from scratch, every text drawn in order.
void FrameComposer::ComposeDirect(std::span<const DisplayLine* const> lines, const NewsTicker* news) {
    const Rect screen = InWindow(screen_);
    const int32_t ox = originX_, oy = originY_;
    surface_.Clear(screen);
    for (const DisplayLine* line : lines) {
        if (IsLogoPlaceholder(*line))
            surface_.DrawLogo(line->cxPos + ox, line->cyPos + oy, line->cxSize, line->cySize);
        else
            surface_.DrawTextAt(FontKind::Line, line->cxPos + ox, line->cyPos + oy,
                                TextSize{line->cxSize, line->cySize}, line->crText, ShownText(*line));
    }
    if (news != nullptr)
        surface_.DrawTextAt(FontKind::News, news->x + ox, news->y + oy, news->size, kWhite, news->text);
    surface_.Show(screen);
    for (PictureSlot& slot : lineSlots_) slot.shown = Rect{};
    newsSlot_.shown = Rect{};
}

void FrameComposer::DropAll() {
    for (uint32_t i = 0; i < lineSlots_.size(); ++i)
        if (lineSlots_[i].line != nullptr) surface_.DropPicture(SurfaceSlot(i));
    if (newsKept_) surface_.DropPicture(SurfaceSlot(NewsSlot()));
    lineSlots_.clear();
    newsSlot_ = PictureSlot{};
    newsKept_ = false;
    prepared_ = false;
}

} // namespace tavelin
