// Composing a frame: each line, the logo and the news are kept as pictures
// when they come on, copied into place, and only what changed is cleared and
// copied to the window. A whole frame when the window may hold anything else,
// and texts drawn directly, in order, when ink may stray into another's rows.
#include "display/saver_window.h"

namespace tavelin {
namespace {

constexpr uint32_t kWhite = 0xFFFFFF;

bool IsLogo(const DisplayLine& line) { return line.pszText == nullptr || line.pszText[0] == u'\0'; }

} // namespace

bool SaverWindow::Shows(const DisplayLine& line) const { return !IsLogo(line) || settings.gLogoEnabled; }

void SaverWindow::Compose(WindowHandle window) {
    MatchPictures();
    const bool kept = !inkTurned_ && KeepPictures();
    const bool whole = wholeNext_ || !kept;
    if (!surface_.BeginFrame(window, whole ? Surface::Frame::Whole : Surface::Frame::Changes)) {
        wholeNext_ = true; // nothing reached the window
        return;
    }
    if (!kept)
        ComposeDirect();
    else if (whole)
        ComposeWhole();
    else
        ComposeChanges();
    surface_.EndFrame();
    wholeNext_ = !kept; // after direct drawing the pictures' places are not known
}

// Marks the pictures this frame draws; the others' lines have left: their
// pictures go, and the places they held are to be cleared.
void SaverWindow::MatchPictures() {
    vacated_.clear();
    for (Picture& picture : pictures_) picture.onFrame = false;
    for (const DisplayLine* line : frameDraw_)
        for (Picture& picture : pictures_)
            if (picture.owner == line) picture.onFrame = true;
    if (!pictures_.empty() && news.gNewsSet) pictures_.back().onFrame = pictures_.back().owner == &news;
    for (uint32_t slot = 0; slot < pictures_.size(); ++slot) {
        Picture& picture = pictures_[slot];
        if (picture.owner == nullptr || picture.onFrame) continue;
        if (!picture.shown.Empty()) vacated_.push_back(picture.shown);
        surface_.DropPicture(slot);
        picture = Picture{};
    }
}

// Keeps a picture for each newcomer; false when some thing must be drawn directly.
bool SaverWindow::KeepPictures() {
    if (pictures_.empty()) return false;
    bool all = true;
    const uint32_t lineSlots = static_cast<uint32_t>(pictures_.size()) - 1;
    for (const DisplayLine* line : frameDraw_) {
        uint32_t slot = 0;
        while (slot < lineSlots && pictures_[slot].owner != line) ++slot;
        if (slot == lineSlots) {
            slot = 0;
            while (slot < lineSlots && pictures_[slot].owner != nullptr) ++slot;
        }
        all = slot < lineSlots && KeepLine(slot, *line) && all;
    }
    if (news.gNewsSet) all = KeepNews() && all;
    return all;
}

bool SaverWindow::KeepLine(uint32_t slot, const DisplayLine& line) {
    Picture& picture = pictures_[slot];
    if (picture.owner != &line || picture.colour != line.crText || picture.hidden != line.hidden) {
        picture.owner = &line;
        picture.onFrame = true;
        picture.colour = line.crText;
        picture.hidden = line.hidden;
        picture.ink = IsLogo(line) ? surface_.KeepLogo(slot, line.cxSize, line.cySize)
                                   : surface_.KeepText(slot, FontKind::Line, TextSize{line.cxSize, line.cySize},
                                                       line.crText, ShownText(line));
        picture.ownRows = picture.ink && (picture.ink->Empty() || (picture.ink->y >= 0 &&
                                                                   picture.ink->Bottom() <= line.cySize));
    }
    return picture.ownRows;
}

bool SaverWindow::KeepNews() {
    const uint32_t slot = static_cast<uint32_t>(pictures_.size()) - 1;
    Picture& picture = pictures_[slot];
    if (picture.owner != &news) {
        picture.owner = &news;
        picture.onFrame = true;
        picture.colour = kWhite;
        picture.ink = surface_.KeepText(slot, FontKind::News, display.NewsSize, kWhite, news.gNewsString);
        // The ticker has rows of its own only below a shortened scrolling band.
        picture.ownRows = picture.ink && display.cyClientScrolling < display.cyScreen &&
                          (picture.ink->Empty() || display.cyNewsPos + picture.ink->y >= display.cyClientScrolling);
    }
    return picture.ownRows;
}

// The pictures on screen, in slot order: the lines, then the news.
template <class Visit>
void SaverWindow::ForEachShown(Visit visit) {
    for (uint32_t slot = 0; slot < pictures_.size(); ++slot) {
        Picture& picture = pictures_[slot];
        if (picture.owner == nullptr) continue;
        if (picture.owner == &news) {
            visit(picture, slot, display.cxNewsPos, display.cyNewsPos);
        } else {
            const auto* line = static_cast<const DisplayLine*>(picture.owner);
            visit(picture, slot, line->cxPos, line->cyPos);
        }
    }
}

Rect SaverWindow::Place(const Picture& picture, int32_t x, int32_t y) const {
    return picture.ink ? Intersect(picture.ink->Offset(x, y), Rect{0, 0, display.cxScreen, display.cyScreen})
                       : Rect{};
}

// Every picture put on a black canvas, all of it shown.
void SaverWindow::ComposeWhole() {
    const Rect screen{0, 0, display.cxScreen, display.cyScreen};
    surface_.Clear(screen);
    ForEachShown([&](Picture& picture, uint32_t slot, int32_t x, int32_t y) {
        surface_.PutPicture(slot, x, y, screen);
        picture.shown = Place(picture, x, y);
    });
    surface_.Show(screen);
}

// Straight onto the window, which holds the last frame: where a line that left
// was is cleared; each picture clears what it no longer covers and is put in
// its new place. Each is shown on its own; none reaches into another's rows,
// and nothing reaches beyond the display: the window may cover other monitors.
void SaverWindow::ComposeChanges() {
    const Rect screen{0, 0, display.cxScreen, display.cyScreen};
    for (const Rect& left : vacated_) {
        surface_.Clear(left);
        surface_.Show(left);
    }
    ForEachShown([&](Picture& picture, uint32_t slot, int32_t x, int32_t y) {
        const Rect now = Place(picture, x, y);
        Rect parts[4];
        const int n = Subtract(picture.shown, now, parts);
        for (int i = 0; i < n; ++i) surface_.Clear(parts[i]);
        surface_.PutPicture(slot, x, y, screen);
        const Rect both = Bound(picture.shown, now);
        if (!both.Empty()) surface_.Show(both);
        picture.shown = now;
    });
}

// The frame composed from scratch, every text drawn in order.
void SaverWindow::ComposeDirect() {
    const Rect screen{0, 0, display.cxScreen, display.cyScreen};
    surface_.Clear(screen);
    for (const DisplayLine* line : frameDraw_) DrawLine(*line);
    if (news.gNewsSet) DrawNews();
    surface_.Show(screen);
    for (Picture& picture : pictures_) picture.shown = Rect{};
}

void SaverWindow::DrawLine(const DisplayLine& line) {
    if (IsLogo(line)) {
        surface_.DrawLogo(line.cxPos, line.cyPos, line.cxSize, line.cySize);
        return;
    }
    surface_.DrawTextAt(FontKind::Line, line.cxPos, line.cyPos, TextSize{line.cxSize, line.cySize}, line.crText,
                        ShownText(line));
}

void SaverWindow::DrawNews() {
    surface_.DrawTextAt(FontKind::News, display.cxNewsPos, display.cyNewsPos, display.NewsSize, kWhite,
                        news.gNewsString);
}

void SaverWindow::DropPictures() {
    for (uint32_t slot = 0; slot < pictures_.size(); ++slot)
        if (pictures_[slot].owner != nullptr) surface_.DropPicture(slot);
    pictures_.clear();
}

} // namespace tavelin
