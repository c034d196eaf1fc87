// The default face at a given height, as the Wine display tests draw with it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "core/settings_values.h"

namespace tavelin::testing {

inline LogFont TimesNewRoman(int32_t height) {
    LogFont lf;
    lf.lfHeight = height;
    lf.lfWeight = 400;
    constexpr std::u16string_view face = u"Times New Roman";
    std::copy(face.begin(), face.end(), lf.lfFaceName);
    return lf;
}

} // namespace tavelin::testing
