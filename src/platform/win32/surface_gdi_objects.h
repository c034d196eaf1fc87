// Scoped holders for the GDI objects of the surface adapter: each releases what
// it holds, and a selection puts the old object back, in reverse order of making.
#pragma once

#include <windows.h>

#include <utility>

namespace tavelin::win32 {

// A pen, brush, font or bitmap deleted with DeleteObject.
template <class T>
class ScopedGdiObject {
public:
    ScopedGdiObject() = default;
    explicit ScopedGdiObject(T object) : object_(object) {}
    ~ScopedGdiObject() { reset(); }
    ScopedGdiObject(const ScopedGdiObject&) = delete;
    ScopedGdiObject& operator=(const ScopedGdiObject&) = delete;
    ScopedGdiObject(ScopedGdiObject&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    ScopedGdiObject& operator=(ScopedGdiObject&& other) noexcept {
        if (this != &other) {
            reset();
            object_ = std::exchange(other.object_, nullptr);
        }
        return *this;
    }
    T get() const { return object_; }
    void reset(T object = nullptr) {
        if (object_ != nullptr) DeleteObject(object_);
        object_ = object;
    }

private:
    T object_ = nullptr;
};

// A 32-bit top-down DIB section, black, with its pixels at *bits (0x00RRGGBB);
// null on failure.
inline HBITMAP CreateTopDownDib(HDC dc, int cx, int cy, void** bits) {
    *bits = nullptr;
    if (cx <= 0 || cy <= 0) return nullptr;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = cx;
    info.bmiHeader.biHeight = -cy;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, bits, nullptr, 0);
    if (bitmap != nullptr && *bits == nullptr) {
        DeleteObject(bitmap);
        return nullptr;
    }
    return bitmap;
}

// A memory device context deleted with DeleteDC.
class ScopedMemoryDc {
public:
    explicit ScopedMemoryDc(HDC compatibleWith) : dc_(CreateCompatibleDC(compatibleWith)) {}
    ~ScopedMemoryDc() {
        if (dc_ != nullptr) DeleteDC(dc_);
    }
    ScopedMemoryDc(const ScopedMemoryDc&) = delete;
    ScopedMemoryDc& operator=(const ScopedMemoryDc&) = delete;
    HDC get() const { return dc_; }

private:
    HDC dc_;
};

// A window's device context, given back with ReleaseDC.
class ScopedWindowDc {
public:
    explicit ScopedWindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~ScopedWindowDc() {
        if (dc_ != nullptr) ReleaseDC(window_, dc_);
    }
    ScopedWindowDc(const ScopedWindowDc&) = delete;
    ScopedWindowDc& operator=(const ScopedWindowDc&) = delete;
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// Selects an object into a device context and puts the previous one back.
class ScopedSelect {
public:
    ScopedSelect(HDC dc, HGDIOBJ object) : dc_(dc), old_(object != nullptr ? SelectObject(dc, object) : nullptr) {}
    ~ScopedSelect() {
        if (old_ != nullptr && old_ != HGDI_ERROR) SelectObject(dc_, old_);
    }
    ScopedSelect(const ScopedSelect&) = delete;
    ScopedSelect& operator=(const ScopedSelect&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

// A bitmap selected into a memory context of its own for as long as it lives;
// destroyed as selection, bitmap, context.
struct SelectedBitmap {
    SelectedBitmap(HDC compatibleWith, HBITMAP bitmap, int cx, int cy)
        : dc(compatibleWith), object(bitmap), select(dc.get(), bitmap), width(cx), height(cy) {}
    bool ok() const { return dc.get() != nullptr && object.get() != nullptr; }

    ScopedMemoryDc dc;
    ScopedGdiObject<HBITMAP> object;
    ScopedSelect select;
    int width;
    int height;
};

} // namespace tavelin::win32
