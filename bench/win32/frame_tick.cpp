// Frame-tick timings of the saver window over real GDI: the median of one frame
// tick (move, compose the changes, copy them) with 7 lines, the logo and a news
// text; or, with "run S", the saver itself scrolling for S seconds on its timers
// (for CPU measurements from outside). A last argument "recall" turns Recall on;
// "two" lays out two displays side by side in the window (each half the
// screen, with as many lines as the one display has), for the cost per monitor.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <span>
#include <vector>

#include "core/log.h"
#include "display/timer_ids.h"
#include "platform/win32/clock_win32.h"
#include "platform/win32/surface_solid_bitmap.h"
#include "support/saver_in_window.h"

#include <windows.h>

namespace {

using namespace tavelin;

constexpr const char16_t* kTexts[] = {
    u"der Apfel: the apple",   u"die Birne: the pear",     u"das Fenster: the window", u"laufen: to run",
    u"die Zeitung: the paper", u"schnell: quick, fast",    u"der Bahnhof: the station", u"",
};
// Two displays: the words twice, dealt in turn, so each display has all seven.
constexpr const char16_t* kTextsTwice[] = {
    u"der Apfel: the apple",   u"der Apfel: the apple",     u"die Birne: the pear",     u"die Birne: the pear",
    u"das Fenster: the window", u"das Fenster: the window", u"laufen: to run",          u"laufen: to run",
    u"die Zeitung: the paper", u"die Zeitung: the paper",   u"schnell: quick, fast",    u"schnell: quick, fast",
    u"der Bahnhof: the station", u"der Bahnhof: the station", u"",
};
constexpr char16_t kNews[] = u"Today: a new word every few seconds, and the news runs along the bottom";

class NullLogFile : public LogFile {
public:
    LogFileHandle Create(std::u16string_view) override { return nullptr; }
    bool Append(LogFileHandle, const void*, size_t) override { return false; }
};

// The real GDI surface with the window split into two monitors side by side.
class TwoDisplaySurface : public win32::GdiSurface {
public:
    bool two = false;
    std::vector<Rect> Monitors(WindowHandle window) override {
        if (!two) return GdiSurface::Monitors(window);
        const int32_t cx = GetSystemMetrics(SM_CXSCREEN) / 2, cy = GetSystemMetrics(SM_CYSCREEN);
        return {Rect{0, 0, cx, cy}, Rect{cx, 0, cx, cy}};
    }
};

struct Saver {
    Saver(bool recall, bool two) : recall(recall), two(two) {
        saver.display.dayTexts = static_cast<uint32_t>(two ? std::size(kTextsTwice) - 1 : std::size(kTexts));
        surface.two = two;
        surface.UseLogo(win32::CreateSolidBitmap(364, 364, 0x0040A0FF));
        window = run.Open(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    }
    // Every line on screen, spread over each display's width, as in a busy minute.
    void FillScreen() {
        for (int i = 0; i < 8; ++i) SendMessageW(window, WM_TIMER, ID_TURNTIMER, 0);
        for (uint32_t m = 0; m < saver.MonitorCount(); ++m) {
            Group& active = saver.MonitorState(m).gActiveStrings;
            const int32_t step = (saver.MonitorState(m).cxScreen - 300) / 8;
            for (uint32_t i = 0; i < active.GetCount(); ++i)
                static_cast<DisplayLine*>(active.GetAt(i))->cxPos = 100 + step * static_cast<int32_t>(i);
        }
    }
    uint32_t ActiveLines() {
        uint32_t n = 0;
        for (uint32_t m = 0; m < saver.MonitorCount(); ++m) n += saver.MonitorState(m).gActiveStrings.GetCount();
        return n;
    }

    bool recall;
    bool two;
    NullLogFile files;
    win32::Win32Clock clock;
    Log log{files, clock};
    TwoDisplaySurface surface;
    testing::SaverInWindow run{surface, clock, log,
                               testing::ShowingSteps(
                                   [this](SaverSettings& s) {
                                       s.gLogoEnabled = true;
                                       s.dwMaxShowStrings = 8;
                                       s.gRecallEnabled = recall;
                                   },
                                   two ? std::span<const char16_t* const>(kTextsTwice)
                                       : std::span<const char16_t* const>(kTexts),
                                   kNews)};
    SaverWindow& saver = run.saver;
    HWND window = nullptr;
};

double MedianFrameMs(int frames, bool recall, bool two) {
    Saver s(recall, two);
    if (s.window == nullptr) return -1;
    s.FillScreen();
    std::vector<double> times;
    times.reserve(static_cast<size_t>(frames));
    for (int i = 0; i < frames; ++i) {
        const auto start = std::chrono::steady_clock::now();
        SendMessageW(s.window, WM_TIMER, ID_FRAMETIMER, 0);
        GdiFlush();
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    double sum = 0;
    for (const double t : times) sum += t;
    std::printf("  frame tick monitors=%u active=%u median=%.3f ms p90=%.3f ms mean=%.3f ms share of 50 ms=%.1f%%\n",
                s.saver.MonitorCount(), s.ActiveLines(), times[times.size() / 2], times[times.size() * 9 / 10],
                sum / static_cast<double>(times.size()), times[times.size() / 2] / 50.0 * 100.0);
    return times[times.size() / 2];
}

// Where a frame's time goes: a whole clear and copy, drawing texts and the logo
// directly, putting kept pictures.
void Parts(int frames) {
    Saver s(false, false);
    s.FillScreen();
    auto time = [&](const char* what, auto&& body) {
        std::vector<double> t;
        for (int i = 0; i < frames; ++i) {
            const auto start = std::chrono::steady_clock::now();
            body();
            GdiFlush();
            t.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        }
        std::sort(t.begin(), t.end());
        std::printf("  %-22s median=%.3f ms\n", what, t[t.size() / 2]);
    };
    const Rect screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    time("whole clear and copy", [&] {
        s.surface.BeginFrame(s.window, Surface::Frame::Whole);
        s.surface.Clear(screen);
        s.surface.Show(screen);
        s.surface.EndFrame();
    });
    s.surface.BeginFrame(s.window, Surface::Frame::Whole);
    time("8 texts", [&] {
        for (int i = 0; i < 8; ++i) s.surface.DrawTextAt(FontKind::Line, 100 + 200 * i, 120 * i, TextSize{400, 60}, 0x80FFFF,
                                                        kTexts[0]);
    });
    time("logo stretch", [&] { s.surface.DrawLogo(500, 500, 75, 75); });
    s.surface.KeepText(0, FontKind::Line, TextSize{400, 60}, 0x80FFFF, kTexts[0]);
    time("8 kept texts put", [&] {
        for (int i = 0; i < 8; ++i) s.surface.PutPicture(0, 100 + 200 * i, 120 * i, screen);
    });
    s.surface.DropPicture(0);
    s.surface.EndFrame();
}

int Run(int seconds, bool recall) {
    Saver s(recall, false);
    if (s.window == nullptr) return 1;
    const DWORD end = GetTickCount() + static_cast<DWORD>(seconds) * 1000;
    MSG message;
    while (GetTickCount() < end && GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    std::printf("ran %d s, %u lines on screen\n", seconds, s.saver.display.gActiveStrings.GetCount());
    std::fflush(stdout);
    Sleep(4000); // idle, so CPU can be read from outside before the process goes
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const bool recall = argc >= 2 && std::wcscmp(argv[argc - 1], L"recall") == 0;
    const bool two = argc >= 2 && std::wcscmp(argv[argc - 1], L"two") == 0;
    if (argc >= 3 && std::wcscmp(argv[1], L"run") == 0) return Run(_wtoi(argv[2]), recall);
    if (argc >= 3 && std::wcscmp(argv[1], L"parts") == 0) {
        Parts(_wtoi(argv[2]));
        return 0;
    }
    const int frames = argc >= 2 && !(argc == 2 && (recall || two)) ? _wtoi(argv[1]) : 400;
    std::printf("frame tick at %dx%d, %s, %d frames each%s\n", GetSystemMetrics(SM_CXSCREEN),
                GetSystemMetrics(SM_CYSCREEN),
                two ? "two displays side by side, 7 lines each + logo + news on the first" : "7 lines + logo + news",
                frames, recall ? ", Recall on" : "");
    return MedianFrameMs(frames, recall, two) < 0 ? 1 : 0;
}
