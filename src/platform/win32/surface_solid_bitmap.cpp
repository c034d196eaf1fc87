// A one-colour DIB section, for a logo when resource 103 is not at hand.
#include "platform/win32/surface_solid_bitmap.h"

#include <windows.h>

namespace tavelin::win32 {

void* CreateSolidBitmap(int32_t cx, int32_t cy, uint32_t colour) {
    if (cx <= 0 || cy <= 0) return nullptr;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = cx;
    info.bmiHeader.biHeight = -cy; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap == nullptr || bits == nullptr) return nullptr;
    // DIB pixels are 0x00RRGGBB, a COLORREF is 0x00BBGGRR.
    const uint32_t pixel = (colour & 0xFFu) << 16 | (colour & 0xFF00u) | (colour >> 16 & 0xFFu);
    auto* pixels = static_cast<uint32_t*>(bits);
    for (int64_t i = 0; i < static_cast<int64_t>(cx) * cy; ++i) pixels[i] = pixel;
    GdiFlush();
    return bitmap;
}

} // namespace tavelin::win32
