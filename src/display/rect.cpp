// Rectangle difference, for clearing only what a moved picture no longer covers.
#include "display/rect.h"

namespace tavelin {

int Subtract(const Rect& a, const Rect& b, Rect out[4]) {
    if (a.Empty()) return 0;
    const Rect overlap = Intersect(a, b);
    if (overlap.Empty()) {
        out[0] = a;
        return 1;
    }
    int n = 0;
    auto add = [&](Rect r) {
        if (!r.Empty()) out[n++] = r;
    };
    add(Rect{a.x, a.y, a.cx, overlap.y - a.y});
    add(Rect{a.x, overlap.Bottom(), a.cx, a.Bottom() - overlap.Bottom()});
    add(Rect{a.x, overlap.y, overlap.x - a.x, overlap.cy});
    add(Rect{overlap.Right(), overlap.y, a.Right() - overlap.Right(), overlap.cy});
    return n;
}

} // namespace tavelin
