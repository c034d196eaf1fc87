// GDI implementation of the Surface port.
// The portable headers come first: their message names must not meet the
// platform's macros of the same names.
#include "platform/win32/surface_gdi.h"

#include <windows.h>

#include <cstring>
#include <optional>
#include <vector>

#include "platform/win32/surface_gdi_objects.h"
#include "platform/win32/surface_picture.h"
#include "platform/win32/text_shapes_win32.h"
#include "platform/win32/wide.h"

namespace tavelin::win32 {
namespace {

constexpr int kLogoResource = 103;
static_assert(sizeof(LOGFONTW) == sizeof(LogFont), "the stored font record is a LOGFONTW");

HWND AsWindow(WindowHandle window) { return static_cast<HWND>(window); }

LOGFONTW ToLogFont(const LogFont& lf) {
    LOGFONTW out;
    std::memcpy(&out, &lf, sizeof out);
    out.lfFaceName[LF_FACESIZE - 1] = L'\0';
    return out;
}

} // namespace

struct GdiSurface::State {
    std::optional<ScopedWindowDc> windowDc; // during start-up and during a frame; no allocation per frame
    std::unique_ptr<SelectedBitmap> backBuffer;
    std::unique_ptr<SelectedBitmap> logo;
    ScopedGdiObject<HBITMAP> givenLogo;
    ScopedGdiObject<HFONT> lineFont;
    ScopedGdiObject<HFONT> newsFont;
    std::optional<ShapedTexts> lineTexts; // with the fonts: what they lack, drawn in others
    std::optional<ShapedTexts> newsTexts;
    std::vector<GdiPicture> pictures; // by slot
    HDC target = nullptr;          // where this frame is drawn: the back buffer or the window
    int cx = 0;
    int cy = 0;

    HFONT Font(FontKind kind) const {
        switch (kind) {
        case FontKind::Line:
            return lineFont.get();
        case FontKind::News:
            return newsFont.get();
        }
        return nullptr;
    }
    const ShapedText* Shaped(FontKind kind, HDC dc, std::u16string_view text) {
        std::optional<ShapedTexts>& texts = kind == FontKind::Line ? lineTexts : newsTexts;
        return texts ? texts->Find(dc, as_wide(text)) : nullptr;
    }
    void ReleaseFonts() {
        lineTexts.reset(); // before the fonts they were shaped in
        newsTexts.reset();
        lineFont.reset();
        newsFont.reset();
    }
    HDC WindowDc() const { return windowDc ? windowDc->get() : nullptr; }
    // Start-up measures on the window's context, as the line font is selected there.
    HDC MeasuringDc() const { return WindowDc() != nullptr ? WindowDc() : backBuffer ? backBuffer->dc.get() : nullptr; }
    bool MakeBackBuffer(HDC compatibleWith) {
        backBuffer.reset(); // the old one goes first, so two never coexist
        if (compatibleWith == nullptr || cx <= 0 || cy <= 0) return false;
        HBITMAP bitmap = CreateCompatibleBitmap(compatibleWith, cx, cy);
        if (bitmap == nullptr) return false;
        backBuffer = std::make_unique<SelectedBitmap>(compatibleWith, bitmap, cx, cy);
        if (!backBuffer->ok()) backBuffer.reset();
        return backBuffer != nullptr;
    }
    GdiPicture* Slot(uint32_t slot) {
        if (slot >= pictures.size()) pictures.resize(slot + 1); // slots are few and come at start
        return &pictures[slot];
    }
};

GdiSurface::GdiSurface() : s_(std::make_unique<State>()) {}

GdiSurface::~GdiSurface() = default;

void GdiSurface::UseLogo(void* bitmap) { s_->givenLogo.reset(static_cast<HBITMAP>(bitmap)); }

uint32_t GdiSurface::BackBufferPixel(int32_t x, int32_t y) const {
    if (!s_->backBuffer || x < 0 || y < 0 || x >= s_->cx || y >= s_->cy) return 0xFFFFFFFFu;
    return GetPixel(s_->backBuffer->dc.get(), x, y);
}

bool GdiSurface::OpenWindowDc(WindowHandle window) {
    s_->windowDc.emplace(AsWindow(window));
    if (s_->WindowDc() == nullptr) s_->windowDc.reset();
    return s_->windowDc.has_value();
}

int32_t GdiSurface::DisplayWidth() { return s_->WindowDc() ? GetDeviceCaps(s_->WindowDc(), HORZRES) : 0; }

int32_t GdiSurface::DisplayHeight() { return s_->WindowDc() ? GetDeviceCaps(s_->WindowDc(), VERTRES) : 0; }

namespace {

struct FoundMonitors {
    POINT origin; // the window's top-left corner on the virtual screen
    std::vector<Rect> rects;
};

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
    auto& found = *reinterpret_cast<FoundMonitors*>(data);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoW(monitor, &info)) return TRUE;
    const RECT& r = info.rcMonitor;
    const Rect rect{r.left - found.origin.x, r.top - found.origin.y, r.right - r.left, r.bottom - r.top};
    if (info.dwFlags & MONITORINFOF_PRIMARY)
        found.rects.insert(found.rects.begin(), rect);
    else
        found.rects.push_back(rect);
    return TRUE;
}

} // namespace

std::vector<Rect> GdiSurface::Monitors(WindowHandle window) {
    HWND hwnd = AsWindow(window);
    if (hwnd == nullptr || (GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD) != 0) return {};
    FoundMonitors found{{0, 0}, {}};
    if (!ClientToScreen(hwnd, &found.origin)) return {};
    if (!EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&found))) return {};
    return found.rects;
}

bool GdiSurface::CreateBackBuffer(int32_t cx, int32_t cy) {
    s_->cx = cx;
    s_->cy = cy;
    return s_->MakeBackBuffer(s_->WindowDc());
}

bool GdiSurface::LoadLogo() {
    s_->logo.reset();
    HBITMAP bitmap = s_->givenLogo.get() != nullptr
                         ? static_cast<HBITMAP>(CopyImage(s_->givenLogo.get(), IMAGE_BITMAP, 0, 0, 0))
                         : LoadBitmapW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kLogoResource));
    if (bitmap == nullptr) return false;
    BITMAP header{};
    if (GetObjectW(bitmap, sizeof header, &header) == 0 || s_->WindowDc() == nullptr) {
        DeleteObject(bitmap);
        return false;
    }
    s_->logo = std::make_unique<SelectedBitmap>(s_->WindowDc(), bitmap, header.bmWidth, header.bmHeight);
    if (!s_->logo->ok()) s_->logo.reset();
    return s_->logo != nullptr;
}

bool GdiSurface::CreateFonts(const LogFont& line, const LogFont& news) {
    const LOGFONTW lineRecord = ToLogFont(line);
    const LOGFONTW newsRecord = ToLogFont(news);
    s_->ReleaseFonts();
    s_->lineFont.reset(CreateFontIndirectW(&lineRecord));
    s_->newsFont.reset(CreateFontIndirectW(&newsRecord));
    s_->lineTexts.emplace(s_->lineFont.get());
    s_->newsTexts.emplace(s_->newsFont.get());
    return s_->lineFont.get() != nullptr && s_->newsFont.get() != nullptr;
}

TextSize GdiSurface::MeasureText(FontKind font, std::u16string_view text) {
    HDC dc = s_->MeasuringDc();
    if (dc == nullptr) return {};
    if (const ShapedText* shaped = s_->Shaped(font, dc, text)) return TextSize{shaped->Width(), shaped->Height()};
    ScopedSelect select(dc, s_->Font(font));
    SIZE size{};
    const std::wstring_view wide = as_wide(text);
    if (!GetTextExtentPoint32W(dc, wide.data(), static_cast<int>(wide.size()), &size)) return {};
    return TextSize{size.cx, size.cy};
}

std::optional<FontMetrics> GdiSurface::MeasureFont(FontKind font) {
    HDC dc = s_->MeasuringDc();
    if (dc == nullptr) return std::nullopt;
    ScopedSelect select(dc, s_->Font(font));
    TEXTMETRICW metrics{};
    if (!GetTextMetricsW(dc, &metrics)) return std::nullopt;
    return FontMetrics{metrics.tmHeight, metrics.tmExternalLeading};
}

void GdiSurface::CloseWindowDc() {
    if (s_->WindowDc() != nullptr) SetBkColor(s_->WindowDc(), RGB(0, 0, 0));
    s_->windowDc.reset();
}

std::optional<Rect> GdiSurface::KeepText(uint32_t slot, FontKind font, TextSize size, uint32_t colour,
                                         std::u16string_view text) {
    GdiPicture* picture = s_->Slot(slot);
    picture->Release();
    if (!s_->backBuffer) return std::nullopt;
    HDC dc = s_->backBuffer->dc.get();
    return picture->RenderText(dc, s_->Font(font), size, colour, as_wide(text), s_->Shaped(font, dc, text));
}

std::optional<Rect> GdiSurface::KeepLogo(uint32_t slot, int32_t cx, int32_t cy) {
    GdiPicture* picture = s_->Slot(slot);
    picture->Release();
    if (!s_->backBuffer) return std::nullopt;
    if (!s_->logo) return Rect{}; // no logo: nothing in its place
    return picture->StretchLogo(s_->backBuffer->dc.get(), *s_->logo, cx, cy);
}

void GdiSurface::DropPicture(uint32_t slot) {
    if (slot < s_->pictures.size()) s_->pictures[slot].Release();
}

bool GdiSurface::BeginFrame(WindowHandle window, Surface::Frame kind) {
    s_->windowDc.emplace(AsWindow(window));
    HDC windowDc = s_->WindowDc();
    if (windowDc == nullptr || !s_->backBuffer) {
        s_->windowDc.reset();
        return false;
    }
    HDC dc = s_->backBuffer->dc.get();
    s_->target = kind == Surface::Frame::Whole ? dc : windowDc;
    SetBkColor(dc, RGB(0, 0, 0));
    SetBkMode(dc, TRANSPARENT);
    SetStretchBltMode(dc, COLORONCOLOR);
    SetStretchBltMode(windowDc, COLORONCOLOR);
    return true;
}

void GdiSurface::Clear(const Rect& area) {
    if (s_->target != nullptr && !area.Empty()) PatBlt(s_->target, area.x, area.y, area.cx, area.cy, BLACKNESS);
}

void GdiSurface::PutPicture(uint32_t slot, int32_t x, int32_t y, const Rect& area) {
    if (s_->target != nullptr && slot < s_->pictures.size()) s_->pictures[slot].Put(s_->target, x, y, area);
}

void GdiSurface::DrawTextAt(FontKind font, int32_t x, int32_t y, TextSize, uint32_t colour,
                            std::u16string_view text) {
    if (!s_->backBuffer) return;
    HDC dc = s_->backBuffer->dc.get();
    SetTextColor(dc, colour);
    if (const ShapedText* shaped = s_->Shaped(font, dc, text)) {
        shaped->Draw(dc, x, y);
        return;
    }
    ScopedSelect select(dc, s_->Font(font));
    const std::wstring_view wide = as_wide(text);
    TextOutW(dc, x, y, wide.data(), static_cast<int>(wide.size()));
}

void GdiSurface::DrawLogo(int32_t x, int32_t y, int32_t cx, int32_t cy) {
    if (!s_->backBuffer || !s_->logo) return;
    StretchBlt(s_->backBuffer->dc.get(), x, y, cx, cy, s_->logo->dc.get(), 0, 0, s_->logo->width, s_->logo->height,
               SRCCOPY);
}

void GdiSurface::Show(const Rect& area) {
    if (s_->target == nullptr) return;
    if (s_->target != s_->WindowDc())
        BitBlt(s_->WindowDc(), area.x, area.y, area.cx, area.cy, s_->target, area.x, area.y, SRCCOPY);
    PushToScreen();
}

void GdiSurface::EndFrame() {
    s_->target = nullptr;
    s_->windowDc.reset();
}

// Wine hands a window's drawing to the X server as one rectangle around all
// that was drawn since the thread last looked for input: for lines spread over
// the screen, nearly the whole screen every frame. A look at the key state
// sends each area on its own; elsewhere it is a cheap query with no effect.
void GdiSurface::PushToScreen() { GetAsyncKeyState(VK_SHIFT); }

void GdiSurface::ReleaseLogo() { s_->logo.reset(); }

void GdiSurface::ReleaseDrawing() {
    s_->pictures.clear();
    s_->backBuffer.reset();
    s_->ReleaseFonts();
}

} // namespace tavelin::win32
