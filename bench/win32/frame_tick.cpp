// Frame-tick timings of the saver window over real GDI: the median of one frame
// tick (move, compose the changes, copy them) with 7 lines, the logo and a news
// text; or, with "run S", the saver itself scrolling for S seconds on its timers
// (for CPU measurements from outside). A last argument "recall" turns Recall on.
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
constexpr char16_t kNews[] = u"Today: a new word every few seconds, and the news runs along the bottom";

class NullLogFile : public LogFile {
public:
    LogFileHandle Create(std::u16string_view) override { return nullptr; }
    bool Append(LogFileHandle, const void*, size_t) override { return false; }
};

struct Saver {
    explicit Saver(bool recall) : recall(recall) {
        saver.display.dayTexts = static_cast<uint32_t>(std::size(kTexts));
        surface.UseLogo(win32::CreateSolidBitmap(364, 364, 0x0040A0FF));
        window = run.Open(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    }
    // Every line on screen, spread over the width, as in a busy minute.
    void FillScreen() {
        for (int i = 0; i < 8; ++i) SendMessageW(window, WM_TIMER, ID_TURNTIMER, 0);
        for (uint32_t i = 0; i < saver.display.gActiveStrings.GetCount(); ++i) {
            auto* line = static_cast<DisplayLine*>(saver.display.gActiveStrings.GetAt(i));
            line->cxPos = 100 + 220 * static_cast<int32_t>(i);
        }
    }

    bool recall;
    NullLogFile files;
    win32::Win32Clock clock;
    Log log{files, clock};
    win32::GdiSurface surface;
    testing::SaverInWindow run{surface, clock, log,
                               testing::ShowingSteps(
                                   [this](SaverSettings& s) {
                                       s.gLogoEnabled = true;
                                       s.dwMaxShowStrings = 8;
                                       s.gRecallEnabled = recall;
                                   },
                                   kTexts, kNews)};
    SaverWindow& saver = run.saver;
    HWND window = nullptr;
};

double MedianFrameMs(int frames, bool recall) {
    Saver s(recall);
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
    std::printf("  frame tick active=%u median=%.3f ms p90=%.3f ms mean=%.3f ms share of 50 ms=%.1f%%\n",
                s.saver.display.gActiveStrings.GetCount(), times[times.size() / 2], times[times.size() * 9 / 10],
                sum / static_cast<double>(times.size()), times[times.size() / 2] / 50.0 * 100.0);
    return times[times.size() / 2];
}

// Where a frame's time goes: a whole clear and copy, drawing texts and the logo
// directly, putting kept pictures.
void Parts(int frames) {
    Saver s(false);
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
    Saver s(recall);
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
    if (argc >= 3 && std::wcscmp(argv[1], L"run") == 0) return Run(_wtoi(argv[2]), recall);
    if (argc >= 3 && std::wcscmp(argv[1], L"parts") == 0) {
        Parts(_wtoi(argv[2]));
        return 0;
    }
    const int frames = argc >= 2 && !(argc == 2 && recall) ? _wtoi(argv[1]) : 400;
    std::printf("frame tick at %dx%d, 7 lines + logo + news, %d frames each%s\n", GetSystemMetrics(SM_CXSCREEN),
                GetSystemMetrics(SM_CYSCREEN), frames, recall ? ", Recall on" : "");
    return MedianFrameMs(frames, recall) < 0 ? 1 : 0;
}
