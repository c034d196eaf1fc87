// A bitmap of one colour made in code: a stand-in logo for tests and benchmarks.
#pragma once

#include <cstdint>

namespace tavelin::win32 {

// An HBITMAP (as void*) of cx x cy pixels in colour (0x00BBGGRR); null on failure.
void* CreateSolidBitmap(int32_t cx, int32_t cy, uint32_t colour);

} // namespace tavelin::win32
