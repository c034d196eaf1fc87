// Kept pictures of the GDI surface.
#include "platform/win32/surface_picture.h"

#include <algorithm>

namespace tavelin::win32 {
namespace {

// Room around a text for ink outside its measured box: italic overhang,
// swashes, marks above capitals.
int32_t MarginFor(TextSize size) { return std::max(size.cy, 8) / 2 + 2; }

} // namespace

bool GdiPicture::Make(HDC compatibleWith, int32_t cx, int32_t cy) {
    bitmap_.reset();
    bits_ = nullptr;
    void* bits = nullptr;
    HBITMAP bitmap = CreateTopDownDib(compatibleWith, cx, cy, &bits);
    if (bitmap == nullptr) return false;
    bitmap_ = std::make_unique<SelectedBitmap>(compatibleWith, bitmap, cx, cy);
    if (!bitmap_->ok()) {
        bitmap_.reset();
        return false;
    }
    bits_ = static_cast<const uint32_t*>(bits);
    return true;
}

std::optional<Rect> GdiPicture::RenderText(HDC compatibleWith, HFONT font, TextSize size, uint32_t colour,
                                           std::wstring_view text, const ShapedText* shaped) {
    margin_ = MarginFor(size);
    const int32_t cx = std::max(size.cx, 0) + 2 * margin_, cy = std::max(size.cy, 0) + 2 * margin_;
    if (!Make(compatibleWith, cx, cy)) return std::nullopt;
    HDC dc = bitmap_->dc.get();
    PatBlt(dc, 0, 0, cx, cy, BLACKNESS);
    {
        ScopedSelect select(dc, font);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, colour);
        if (shaped != nullptr)
            shaped->Draw(dc, margin_, margin_);
        else
            TextOutW(dc, margin_, margin_, text.data(), static_cast<int>(text.size()));
    }
    GdiFlush();
    int32_t left = cx, top = cy, right = -1, bottom = -1;
    for (int32_t y = 0; y < cy; ++y) {
        const uint32_t* row = bits_ + static_cast<size_t>(y) * cx;
        for (int32_t x = 0; x < cx; ++x) {
            if ((row[x] & 0x00FFFFFFu) == 0) continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    if (right < 0) {
        ink_ = Rect{};
    } else {
        if (left == 0 || top == 0 || right == cx - 1 || bottom == cy - 1) {
            Release();
            return std::nullopt;
        }
        ink_ = Rect{left - margin_, top - margin_, right - left + 1, bottom - top + 1};
    }
    return ink_;
}

std::optional<Rect> GdiPicture::StretchLogo(HDC compatibleWith, const SelectedBitmap& logo, int32_t cx, int32_t cy) {
    margin_ = 0;
    if (!Make(compatibleWith, cx, cy)) return std::nullopt;
    SetStretchBltMode(bitmap_->dc.get(), COLORONCOLOR);
    StretchBlt(bitmap_->dc.get(), 0, 0, cx, cy, logo.dc.get(), 0, 0, logo.width, logo.height, SRCCOPY);
    ink_ = Rect{0, 0, cx, cy};
    return ink_;
}

void GdiPicture::Put(HDC target, int32_t x, int32_t y, const Rect& area) const {
    if (!bitmap_) return;
    const Rect put = Intersect(ink_.Offset(x, y), area);
    if (put.Empty()) return;
    BitBlt(target, put.x, put.y, put.cx, put.cy, bitmap_->dc.get(), margin_ + put.x - x, margin_ + put.y - y, SRCCOPY);
}

} // namespace tavelin::win32
