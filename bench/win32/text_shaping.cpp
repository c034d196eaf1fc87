// What shaping costs: the first line of a script the line font lacks (the
// installed families are listed then), each further one, and drawing a shaped
// line directly per frame against a plain one. A kept picture costs the same
// whatever its script, so the frame tick does not change.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "platform/win32/surface_gdi.h"

#include <windows.h>

namespace {

using namespace tavelin;
using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point since) { return std::chrono::duration<double, std::milli>(Clock::now() - since).count(); }

double Median(int n, const std::function<void()>& body) {
    std::vector<double> t;
    for (int i = 0; i < n; ++i) {
        const auto start = Clock::now();
        body();
        GdiFlush();
        t.push_back(Ms(start));
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const int frames = argc >= 2 ? _wtoi(argv[1]) : 400;
    win32::GdiSurface s;
    if (!s.OpenWindowDc(nullptr) || !s.CreateBackBuffer(1920, 1080)) return 1;
    LogFont lf;
    lf.lfHeight = -50;
    lf.lfWeight = 400;
    const std::u16string face = u"Times New Roman";
    std::copy(face.begin(), face.end(), lf.lfFaceName);
    if (!s.CreateFonts(lf, lf)) return 1;

    const char16_t* plain = u"der Apfel: the apple";
    const char16_t* lines[] = {u"猫:cat", u"كتاب:book", u"שלום:peace", u"สวัสดี:hello", u"नमस्ते:hello", u"사랑:love"};
    auto start = Clock::now();
    s.MeasureText(FontKind::Line, plain);
    std::printf("measure a plain line            %.3f ms\n", Ms(start));
    start = Clock::now();
    s.MeasureText(FontKind::Line, lines[0]);
    std::printf("shape the first fallback line   %.3f ms (lists the installed families)\n", Ms(start));
    start = Clock::now();
    for (size_t i = 1; i < std::size(lines); ++i) s.MeasureText(FontKind::Line, lines[i]);
    std::printf("shape each further line         %.3f ms (five scripts)\n", Ms(start) / (std::size(lines) - 1));

    s.BeginFrame(nullptr, Surface::Frame::Whole);
    const TextSize size{400, 60};
    const Rect screen{0, 0, 1920, 1080}; // the display: nothing is cut
    const double direct = Median(frames, [&] { s.DrawTextAt(FontKind::Line, 100, 100, size, 0x80FFFF, plain); });
    const double shaped = Median(frames, [&] { s.DrawTextAt(FontKind::Line, 100, 100, size, 0x80FFFF, lines[1]); });
    s.KeepText(0, FontKind::Line, size, 0x80FFFF, plain);
    s.KeepText(1, FontKind::Line, size, 0x80FFFF, lines[1]);
    const double putPlain = Median(frames, [&] { s.PutPicture(0, 100, 100, screen); });
    const double putShaped = Median(frames, [&] { s.PutPicture(1, 100, 100, screen); });
    s.EndFrame();
    std::printf("direct draw, plain / shaped     %.4f / %.4f ms median of %d\n", direct, shaped, frames);
    std::printf("kept picture put, plain / shaped %.4f / %.4f ms median of %d\n", putPlain, putShaped, frames);
    return 0;
}
