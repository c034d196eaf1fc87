// A Surface double that records what every frame drew and the timers, measures
// text with a fixed metric and re-enters the window procedure on a sent tick.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "display/surface.h"
#include "display/timer_ids.h"

namespace tavelin::fakes {

class RecordingSurface : public Surface {
public:
    struct Text {
        FontKind font;
        int32_t x, y;
        uint32_t colour;
        std::u16string text;
    };
    struct Logo {
        int32_t x, y, cx, cy;
    };
    struct Frame {
        std::vector<Text> texts;
        std::vector<Logo> logos;
    };
    struct TimerEvent {
        bool started;
        uintptr_t id;
        uint32_t milliseconds;
    };

    // --- what the double answers
    int32_t width = 1920;
    int32_t height = 1080;
    int32_t unitWidth = 10;           // a text is this many pixels per UTF-16 unit wide
    std::optional<int32_t> textHeight; // else |lfHeight| of the font
    std::function<TextSize(FontKind, std::u16string_view)> measure; // replaces the fixed metric
    bool failWindowDc = false, failBackBuffer = false, failLogo = false, failFonts = false, failMetrics = false;
    bool keepFrames = true;           // false: only the last frame is kept
    std::function<LResult(WindowHandle, uint32_t, WParam, LParam)> window; // where SendTurnTick goes

    // --- what it saw
    std::vector<Frame> frames; // completed frames
    Frame current;
    size_t framesCopied = 0;
    LogFont lineFont, newsFont;
    bool windowDcOpen = false, backBuffer = false, logo = false, fonts = false;
    int32_t bufferWidth = 0, bufferHeight = 0;
    std::vector<TimerEvent> timerEvents;
    std::map<uintptr_t, uint32_t> runningTimers; // id -> interval
    size_t sentTurnTicks = 0;
    std::optional<int> quitCode;

    bool OpenWindowDc(WindowHandle window) override;
    int32_t DisplayWidth() override { return width; }
    int32_t DisplayHeight() override { return height; }
    bool CreateBackBuffer(int32_t cx, int32_t cy) override;
    bool LoadLogo() override;
    bool CreateFonts(const LogFont& line, const LogFont& news) override;
    TextSize MeasureText(FontKind font, std::u16string_view text) override;
    std::optional<FontMetrics> MeasureFont(FontKind font) override;
    void CloseWindowDc() override { windowDcOpen = false; }

    bool BeginFrame(WindowHandle window) override;
    void DrawTextAt(FontKind font, int32_t x, int32_t y, TextSize size, uint32_t colour,
                    std::u16string_view text) override;
    void DrawLogo(int32_t x, int32_t y, int32_t cx, int32_t cy) override;
    void EndFrame() override;

    void ReleaseLogo() override { logo = false; }
    void ReleaseDrawing() override { fonts = backBuffer = false; }

    void StartTimer(WindowHandle window, uintptr_t id, uint32_t milliseconds) override;
    void StopTimer(WindowHandle window, uintptr_t id) override;
    LResult SendTurnTick(WindowHandle window) override;
    void PostQuit(int exitCode) override { quitCode = exitCode; }

    const Frame& Last() const { return frames.back(); }
    // Where the last frame drew text, or null.
    const Text* Drawn(std::u16string_view text) const;
    int32_t FontHeight(FontKind font) const;
};

} // namespace tavelin::fakes
