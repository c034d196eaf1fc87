// Screen rectangles: where a picture's ink lies and what a frame changed.
#pragma once

#include <algorithm>
#include <cstdint>

namespace tavelin {

struct Rect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t cx = 0;
    int32_t cy = 0;

    bool Empty() const { return cx <= 0 || cy <= 0; }
    int32_t Right() const { return x + cx; }
    int32_t Bottom() const { return y + cy; }
    Rect Offset(int32_t dx, int32_t dy) const { return Rect{x + dx, y + dy, cx, cy}; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

inline Rect Intersect(const Rect& a, const Rect& b) {
    const int32_t left = std::max(a.x, b.x), top = std::max(a.y, b.y);
    const int32_t right = std::min(a.Right(), b.Right()), bottom = std::min(a.Bottom(), b.Bottom());
    if (right <= left || bottom <= top) return Rect{};
    return Rect{left, top, right - left, bottom - top};
}

// The smallest rectangle holding both; an empty one adds nothing.
inline Rect Bound(const Rect& a, const Rect& b) {
    if (a.Empty()) return b.Empty() ? Rect{} : b;
    if (b.Empty()) return a;
    const int32_t left = std::min(a.x, b.x), top = std::min(a.y, b.y);
    return Rect{left, top, std::max(a.Right(), b.Right()) - left, std::max(a.Bottom(), b.Bottom()) - top};
}

// The parts of a outside b: at most four rectangles (above, below, left, right),
// written to out; returns how many.
int Subtract(const Rect& a, const Rect& b, Rect out[4]);

} // namespace tavelin
