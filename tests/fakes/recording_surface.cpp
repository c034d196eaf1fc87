// The recording Surface double.
#include "fakes/recording_surface.h"

#include <cstdlib>

namespace tavelin::fakes {

bool RecordingSurface::OpenWindowDc(WindowHandle) {
    windowDcOpen = !failWindowDc;
    return windowDcOpen;
}

bool RecordingSurface::CreateBackBuffer(int32_t cx, int32_t cy) {
    if (failBackBuffer) return false;
    backBuffer = true;
    bufferWidth = cx;
    bufferHeight = cy;
    return true;
}

bool RecordingSurface::LoadLogo() {
    logo = !failLogo;
    return logo;
}

bool RecordingSurface::CreateFonts(const LogFont& line, const LogFont& news) {
    lineFont = line;
    newsFont = news;
    fonts = !failFonts;
    return fonts;
}

int32_t RecordingSurface::FontHeight(FontKind font) const {
    if (textHeight) return *textHeight;
    switch (font) {
    case FontKind::Line:
        return std::abs(lineFont.lfHeight);
    case FontKind::News:
        return std::abs(newsFont.lfHeight);
    }
    return 0;
}

TextSize RecordingSurface::MeasureText(FontKind font, std::u16string_view text) {
    if (measure) return measure(font, text);
    return TextSize{static_cast<int32_t>(text.size()) * unitWidth, FontHeight(font)};
}

std::optional<FontMetrics> RecordingSurface::MeasureFont(FontKind font) {
    if (failMetrics) return std::nullopt;
    return FontMetrics{FontHeight(font), 0};
}

Rect RecordingSurface::InkOf(FontKind font, TextSize size, std::u16string_view text) const {
    return ink ? ink(font, size, text) : Rect{0, 0, size.cx, size.cy};
}

std::optional<Rect> RecordingSurface::KeepText(uint32_t slot, FontKind font, TextSize size, uint32_t colour,
                                               std::u16string_view text) {
    ++keeps;
    if (failKeep) return std::nullopt;
    const Rect box = InkOf(font, size, text);
    pictures[slot] = RecordedPicture{false, font, colour, std::u16string(text), size, box};
    return box;
}

std::optional<Rect> RecordingSurface::KeepLogo(uint32_t slot, int32_t cx, int32_t cy) {
    ++keeps;
    if (failKeep) return std::nullopt;
    pictures[slot] = RecordedPicture{true, FontKind::Line, kLogoColour, {}, TextSize{cx, cy}, Rect{0, 0, cx, cy}};
    return Rect{0, 0, cx, cy};
}

void RecordingSurface::DropPicture(uint32_t slot) {
    ++drops;
    pictures.erase(slot);
}

bool RecordingSurface::BeginFrame(WindowHandle, Surface::Frame kind) {
    current = Frame{};
    current.whole = kind == Surface::Frame::Whole;
    if (pixels && backPixels.empty()) {
        backPixels.assign(static_cast<size_t>(width) * height, 0x00FFFFFFu); // not yet black
        windowPixels.assign(static_cast<size_t>(WindowWidth()) * WindowHeight(), kElsewhere);
        if (monitors.empty()) Fill(windowPixels, WindowWidth(), Rect{0, 0, width, height}, 0x00FFFFFFu);
        for (const Rect& m : monitors) Fill(windowPixels, WindowWidth(), m, 0x00FFFFFFu);
    }
    return backBuffer;
}

// area lies within the canvas.
void RecordingSurface::Fill(std::vector<uint32_t>& canvas, int32_t canvasWidth, const Rect& area,
                            uint32_t colour) const {
    for (int32_t y = area.y; y < area.Bottom(); ++y)
        for (int32_t x = area.x; x < area.Right(); ++x) canvas[static_cast<size_t>(y) * canvasWidth + x] = colour;
}

std::vector<uint32_t> RecordingSurface::DisplayPixels() const {
    std::vector<uint32_t> out;
    out.reserve(static_cast<size_t>(width) * height);
    for (int32_t y = 0; y < height; ++y) {
        const auto row = windowPixels.begin() + static_cast<ptrdiff_t>(y) * WindowWidth();
        out.insert(out.end(), row, row + width);
    }
    return out;
}

void RecordingSurface::FillWindow(const Rect& area, uint32_t colour) {
    const Rect inWindow = Intersect(area, Rect{0, 0, WindowWidth(), WindowHeight()});
    if (!inWindow.Empty()) {
        // Monitors do not overlap: what lies in none of them is elsewhere.
        size_t inside = 0;
        const std::vector<Rect> shown = monitors.empty() ? std::vector<Rect>{Rect{0, 0, width, height}} : monitors;
        for (const Rect& m : shown) {
            const Rect part = Intersect(inWindow, m);
            inside += part.Empty() ? 0 : static_cast<size_t>(part.cx) * part.cy;
        }
        drawnElsewhere_ += static_cast<size_t>(inWindow.cx) * inWindow.cy - inside;
    }
    Fill(windowPixels, WindowWidth(), inWindow, colour);
}

void RecordingSurface::Clear(const Rect& area) {
    current.cleared.push_back(area);
    if (pixels) Fill(area, 0);
}

void RecordingSurface::PutPicture(uint32_t slot, int32_t x, int32_t y, const Rect& area) {
    const auto found = pictures.find(slot);
    if (found == pictures.end()) return;
    const RecordedPicture& p = found->second;
    ++current.puts;
    if (p.logo)
        current.logos.push_back(Logo{x, y, p.size.cx, p.size.cy});
    else
        current.texts.push_back(Text{p.font, x, y, p.colour, p.text, p.size});
    if (pixels) Fill(Intersect(p.ink.Offset(x, y), area), p.colour);
}

void RecordingSurface::DrawTextAt(FontKind font, int32_t x, int32_t y, TextSize size, uint32_t colour,
                                  std::u16string_view text) {
    if (!current.whole) ++directInChanges;
    current.texts.push_back(Text{font, x, y, colour, std::u16string(text), size});
    if (pixels) Fill(InkOf(font, size, text).Offset(x, y), colour);
}

void RecordingSurface::DrawLogo(int32_t x, int32_t y, int32_t cx, int32_t cy) {
    if (!current.whole) ++directInChanges;
    current.logos.push_back(Logo{x, y, cx, cy});
    if (pixels) Fill(Rect{x, y, cx, cy}, kLogoColour);
}

std::vector<uint32_t> RecordingSurface::ComposedAlone(std::span<const Frame> shown, std::span<const Rect> areas) const {
    std::vector<uint32_t> canvas(static_cast<size_t>(WindowWidth()) * WindowHeight(), kElsewhere);
    for (size_t i = 0; i < shown.size() && i < areas.size(); ++i) {
        const Rect area = areas[i];
        Fill(canvas, WindowWidth(), area, 0);
        for (const Text& t : shown[i].texts)
            Fill(canvas, WindowWidth(), Intersect(InkOf(t.font, t.size, t.text).Offset(t.x, t.y), area), t.colour);
        for (const Logo& l : shown[i].logos)
            Fill(canvas, WindowWidth(), Intersect(Rect{l.x, l.y, l.cx, l.cy}, area), kLogoColour);
    }
    return canvas;
}

std::vector<uint32_t> RecordingSurface::ComposedAlone() const {
    std::vector<uint32_t> canvas(static_cast<size_t>(width) * height, 0);
    if (frames.empty()) return canvas;
    const Rect display{0, 0, width, height};
    for (const Text& t : frames.back().texts)
        Fill(canvas, width, Intersect(InkOf(t.font, t.size, t.text).Offset(t.x, t.y), display), t.colour);
    for (const Logo& l : frames.back().logos)
        Fill(canvas, width, Intersect(Rect{l.x, l.y, l.cx, l.cy}, display), kLogoColour);
    return canvas;
}

void RecordingSurface::Show(const Rect& area) {
    current.changed.push_back(area);
    if (!pixels || !current.whole) return;
    const Rect r = Intersect(area, Rect{0, 0, width, height});
    for (int32_t y = r.y; y < r.Bottom(); ++y)
        for (int32_t x = r.x; x < r.Right(); ++x)
            windowPixels[static_cast<size_t>(y) * WindowWidth() + x] = backPixels[static_cast<size_t>(y) * width + x];
}

void RecordingSurface::EndFrame() {
    if (!keepFrames) frames.clear();
    frames.push_back(std::move(current));
    current = Frame{};
    ++framesCopied;
}

void RecordingSurface::StartTimer(WindowHandle, uintptr_t id, uint32_t milliseconds) {
    timerEvents.push_back(TimerEvent{true, id, milliseconds});
    runningTimers[id] = milliseconds;
}

void RecordingSurface::StopTimer(WindowHandle, uintptr_t id) {
    timerEvents.push_back(TimerEvent{false, id, 0});
    runningTimers.erase(id);
}

LResult RecordingSurface::SendTurnTick(WindowHandle handle) {
    ++sentTurnTicks;
    return window ? window(handle, msg::WM_TIMER, ID_TURNTIMER, 0) : 0;
}

const RecordingSurface::Text* RecordingSurface::Drawn(std::u16string_view text) const {
    if (frames.empty()) return nullptr;
    for (const Text& t : frames.back().texts)
        if (t.text == text) return &t;
    return nullptr;
}

} // namespace tavelin::fakes
