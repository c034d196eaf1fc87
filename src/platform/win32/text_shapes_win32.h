// The shaped texts of one text style, each shaped the first time it is
// measured or drawn and kept until the style's font goes: a frame only looks
// its text up.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/win32/text_fonts_win32.h"
#include "platform/win32/text_layout_win32.h"

namespace tavelin::win32 {

class ShapedTexts {
public:
    explicit ShapedTexts(HFONT base) : base_(base) {}

    // The shaped text, or null when the plain text call draws it as it is
    // (or it cannot be shaped, and the plain call is the best there is).
    const ShapedText* Find(HDC dc, std::wstring_view text);

private:
    // Looked up by view, so a frame allocates nothing.
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::wstring_view text) const { return std::hash<std::wstring_view>{}(text); }
    };
    HFONT base_;
    std::unique_ptr<TextFonts> fonts_; // made at the first text, with a context to measure in
    std::unordered_map<std::wstring, std::optional<ShapedText>, Hash, std::equal_to<>> texts_;
};

} // namespace tavelin::win32
