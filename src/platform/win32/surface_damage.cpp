// Bookkeeping of the boxes a frame changed, so that only they are cleared and
// copied; the picture is the same as with a whole clear and copy.
#include "platform/win32/surface_damage.h"

#include <algorithm>

namespace tavelin::win32 {
namespace {

constexpr size_t kBoxes = 64; // far more than lines on screen

bool Meets(const RECT& a, const RECT& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

} // namespace

void Damage::Reset(int cx, int cy) {
    bounds_ = RECT{0, 0, cx, cy};
    previous_.clear();
    drawn_.clear();
    previous_.reserve(kBoxes);
    drawn_.reserve(kBoxes);
    copy_.reserve(2 * kBoxes);
    sinceWhole_ = kFullEvery;
}

bool Damage::BeginFrame() {
    whole_ = sinceWhole_ >= kFullEvery;
    sinceWhole_ = whole_ ? 0 : sinceWhole_ + 1;
    drawn_.clear();
    return whole_;
}

void Damage::Add(int x, int y, int cx, int cy, int margin) {
    RECT box{x - margin, y - margin, x + cx + margin, y + cy + margin};
    box.left = std::max(box.left, bounds_.left);
    box.top = std::max(box.top, bounds_.top);
    box.right = std::min(box.right, bounds_.right);
    box.bottom = std::min(box.bottom, bounds_.bottom);
    if (box.left < box.right && box.top < box.bottom) drawn_.push_back(box);
}

const std::vector<RECT>& Damage::ToCopy() {
    copy_.assign(previous_.begin(), previous_.end());
    for (const RECT& box : drawn_) {
        auto met = std::find_if(copy_.begin(), copy_.end(), [&](const RECT& c) { return Meets(c, box); });
        if (met == copy_.end()) {
            copy_.push_back(box);
            continue;
        }
        met->left = std::min(met->left, box.left);
        met->top = std::min(met->top, box.top);
        met->right = std::max(met->right, box.right);
        met->bottom = std::max(met->bottom, box.bottom);
    }
    return copy_;
}

void Damage::EndFrame() { previous_.swap(drawn_); }

} // namespace tavelin::win32
