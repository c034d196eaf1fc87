// A one-colour DIB section, for a logo when resource 103 is not at hand.
#include "platform/win32/surface_solid_bitmap.h"

#include <windows.h>

#include "platform/win32/surface_gdi_objects.h"

namespace tavelin::win32 {

void* CreateSolidBitmap(int32_t cx, int32_t cy, uint32_t colour) {
    void* bits = nullptr;
    HBITMAP bitmap = CreateTopDownDib(nullptr, cx, cy, &bits);
    if (bitmap == nullptr) return nullptr;
    // DIB pixels are 0x00RRGGBB, a COLORREF is 0x00BBGGRR.
    const uint32_t pixel = (colour & 0xFFu) << 16 | (colour & 0xFF00u) | (colour >> 16 & 0xFFu);
    auto* pixels = static_cast<uint32_t*>(bits);
    for (int64_t i = 0; i < static_cast<int64_t>(cx) * cy; ++i) pixels[i] = pixel;
    GdiFlush();
    return bitmap;
}

} // namespace tavelin::win32
