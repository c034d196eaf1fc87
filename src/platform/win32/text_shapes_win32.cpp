// Shaped texts kept by content.
#include "platform/win32/text_shapes_win32.h"

namespace tavelin::win32 {

const ShapedText* ShapedTexts::Find(HDC dc, std::wstring_view text) {
    if (auto known = texts_.find(text); known != texts_.end())
        return known->second ? &*known->second : nullptr;
    if (dc == nullptr || base_ == nullptr) return nullptr;
    if (!fonts_) fonts_ = std::make_unique<TextFonts>(dc, base_);
    std::optional<ShapedText> shaped;
    if (ShapedText::Needed(dc, *fonts_, text)) shaped = ShapedText::Shape(dc, *fonts_, text);
    auto& kept = texts_[std::wstring(text)] = std::move(shaped);
    return kept ? &*kept : nullptr;
}

} // namespace tavelin::win32
