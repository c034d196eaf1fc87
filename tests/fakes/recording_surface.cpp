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

bool RecordingSurface::BeginFrame(WindowHandle) {
    current = Frame{};
    return backBuffer;
}

void RecordingSurface::DrawTextAt(FontKind font, int32_t x, int32_t y, TextSize, uint32_t colour,
                                  std::u16string_view text) {
    current.texts.push_back(Text{font, x, y, colour, std::u16string(text)});
}

void RecordingSurface::DrawLogo(int32_t x, int32_t y, int32_t cx, int32_t cy) {
    current.logos.push_back(Logo{x, y, cx, cy});
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
