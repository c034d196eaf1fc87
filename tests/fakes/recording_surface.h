// A double of the Surface and SaverTimers ports that records what every frame
// drew and the timers in one place, measures text with a fixed metric and
// re-enters the window procedure on a sent tick.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "display/saver_timers.h"
#include "display/surface.h"
#include "display/timer_ids.h"

namespace tavelin::fakes {

class RecordingSurface : public Surface, public SaverTimers {
public:
    struct Text {
        FontKind font;
        int32_t x, y;
        uint32_t colour;
        std::u16string text;
        TextSize size{};
    };
    struct Logo {
        int32_t x, y, cx, cy;
    };
    struct Frame {
        std::vector<Text> texts;  // drawn directly or put as pictures
        std::vector<Logo> logos;
        std::vector<Rect> cleared;
        std::vector<Rect> changed; // shown
        size_t puts = 0;           // of them, pictures put
        bool whole = false;        // composed in the back buffer
    };
    struct RecordedPicture {
        bool logo = false;
        FontKind font = FontKind::Line;
        uint32_t colour = 0;
        std::u16string text;
        TextSize size;
        Rect ink;
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
    // Where a text's ink lies, relative to its corner; else its measured box.
    std::function<Rect(FontKind, TextSize, std::u16string_view)> ink;
    bool failKeep = false;
    // Pixels: each text and logo inks its ink box in one colour (logos in
    // kLogoColour) in a back buffer of width x height, copied to a window.
    bool pixels = false;
    static constexpr uint32_t kLogoColour = 0x00ABCDEF;
    // The window's size when it is larger than the display (a second monitor
    // beside it); 0: the display's. What lies beyond the display starts as
    // kElsewhere, which no frame may change.
    int32_t windowWidth = 0, windowHeight = 0;
    static constexpr uint32_t kElsewhere = 0x00777777;
    std::function<LResult(WindowHandle, uint32_t, WParam, LParam)> window; // where SendTurnTick goes
    std::vector<Rect> monitors; // in the window's coordinates, the primary first; empty: one display

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
    std::map<uint32_t, RecordedPicture> pictures; // slot -> picture kept now
    size_t keeps = 0, drops = 0;
    // Texts and logos drawn directly in a frame of changes, which goes straight
    // to the window: the GDI side draws them in the back buffer alone. The
    // saver fixture fails a test that leaves any.
    size_t directInChanges = 0;
    std::vector<uint32_t> backPixels, windowPixels; // row by row, when pixels is on
    std::optional<int> quitCode;

    bool OpenWindowDc(WindowHandle window) override;
    int32_t DisplayWidth() override { return width; }
    int32_t DisplayHeight() override { return height; }
    std::vector<Rect> Monitors(WindowHandle) override { return monitors; }
    bool CreateBackBuffer(int32_t cx, int32_t cy) override;
    bool LoadLogo() override;
    bool CreateFonts(const LogFont& line, const LogFont& news) override;
    TextSize MeasureText(FontKind font, std::u16string_view text) override;
    std::optional<FontMetrics> MeasureFont(FontKind font) override;
    void CloseWindowDc() override { windowDcOpen = false; }

    std::optional<Rect> KeepText(uint32_t slot, FontKind font, TextSize size, uint32_t colour,
                                 std::u16string_view text) override;
    std::optional<Rect> KeepLogo(uint32_t slot, int32_t cx, int32_t cy) override;
    void DropPicture(uint32_t slot) override;

    bool BeginFrame(WindowHandle window, Surface::Frame kind) override;
    void Clear(const Rect& area) override;
    void PutPicture(uint32_t slot, int32_t x, int32_t y, const Rect& area) override;
    void DrawTextAt(FontKind font, int32_t x, int32_t y, TextSize size, uint32_t colour,
                    std::u16string_view text) override;
    void DrawLogo(int32_t x, int32_t y, int32_t cx, int32_t cy) override;
    void Show(const Rect& area) override;
    void EndFrame() override;

    void ReleaseLogo() override { logo = false; }
    void ReleaseDrawing() override {
        fonts = backBuffer = false;
        pictures.clear();
    }

    void StartTimer(WindowHandle window, uintptr_t id, uint32_t milliseconds) override;
    void StopTimer(WindowHandle window, uintptr_t id) override;
    LResult SendTurnTick(WindowHandle window) override;
    void PostQuit(int exitCode) override { quitCode = exitCode; }

    const Frame& Last() const { return frames.back(); }
    // Where the last frame drew text, or null.
    const Text* Drawn(std::u16string_view text) const;
    int32_t FontHeight(FontKind font) const;
    Rect InkOf(FontKind font, TextSize size, std::u16string_view text) const;
    // The last frame composed alone on a black canvas, from what it drew.
    std::vector<uint32_t> ComposedAlone() const;
    // The whole window as these frames, one per area (a monitor's), compose it
    // alone: each area black with its frame's ink within it, the rest elsewhere.
    std::vector<uint32_t> ComposedAlone(std::span<const Frame> shown, std::span<const Rect> areas) const;
    int32_t WindowWidth() const { return windowWidth > 0 ? windowWidth : width; }
    int32_t WindowHeight() const { return windowHeight > 0 ? windowHeight : height; }
    // The window's pixels within the display, row by row.
    std::vector<uint32_t> DisplayPixels() const;
    // How many pixels frames drew or cleared beyond the display (or every monitor).
    size_t ChangedElsewhere() const { return drawnElsewhere_; }

private:
    void Fill(std::vector<uint32_t>& canvas, int32_t canvasWidth, const Rect& area, uint32_t colour) const;
    void Fill(const Rect& area, uint32_t colour) {
        if (current.whole)
            Fill(backPixels, width, Intersect(area, Rect{0, 0, width, height}), colour);
        else
            FillWindow(area, colour);
    }
    void FillWindow(const Rect& area, uint32_t colour);

    size_t drawnElsewhere_ = 0;
};

} // namespace tavelin::fakes
