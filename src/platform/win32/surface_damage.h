// What a frame changed in the back buffer: the boxes drawn in the last frame
// (to be cleared) and the union of those and the new ones (to be copied).
#pragma once

#include <windows.h>

#include <vector>

namespace tavelin::win32 {

class Damage {
public:
    // Every so many frames the whole buffer is cleared and copied, which also
    // repairs anything others painted over the window.
    static constexpr int kFullEvery = 20;

    void Reset(int cx, int cy);
    // True when this frame is a whole one; otherwise the boxes to clear.
    bool BeginFrame();
    const std::vector<RECT>& ToClear() const { return previous_; }
    // A box drawn in this frame, grown by margin for overhanging glyphs.
    void Add(int x, int y, int cx, int cy, int margin);
    // The boxes to copy: each old box merged with the new boxes it meets.
    const std::vector<RECT>& ToCopy();
    bool Whole() const { return whole_; }
    void EndFrame();

private:
    std::vector<RECT> previous_; // reserved once: no frame allocates
    std::vector<RECT> drawn_;
    std::vector<RECT> copy_;
    RECT bounds_{};
    int sinceWhole_ = kFullEvery;
    bool whole_ = true;
};

} // namespace tavelin::win32
