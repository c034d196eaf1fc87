// A RandomSource that answers a script of values (0 once it runs out), and the
// smallest value that makes a draw of n come out as k.
#pragma once

#include <deque>

#include "lanes/random_source.h"

namespace tavelin::fakes {

class ScriptedRandom : public RandomSource {
public:
    std::deque<int32_t> script;
    int32_t calls = 0;
    int32_t Next() override {
        ++calls;
        if (script.empty()) return 0;
        const int32_t r = script.front();
        script.pop_front();
        return r;
    }
};

inline int32_t ValueForDraw(int32_t n, int32_t k) {
    for (int32_t r = 0; r <= 32767; ++r)
        if (DrawOf(r, n) == k) return r;
    return -1;
}

} // namespace tavelin::fakes
