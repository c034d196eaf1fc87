// Heap texts and the small UTF-8 <-> UTF-16 helpers used by tools and tests.
#include "core/text.h"

#include <cstdint>
#include <new>

namespace tavelin {

char16_t* DuplicateText(std::u16string_view text) noexcept {
    char16_t* copy = new (std::nothrow) char16_t[text.size() + 1];
    if (copy == nullptr) return nullptr;
    text.copy(copy, text.size());
    copy[text.size()] = u'\0';
    return copy;
}

void ReleaseText(const char16_t* text) noexcept { delete[] text; }

std::string ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::u16string FromUtf8(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        const size_t need = b < 0x80 ? 0 : (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : 4;
        uint32_t c = need == 0 ? b : 0xFFFD;
        size_t used = 1;
        if (need >= 1 && need <= 3 && text.size() - i > need) {
            uint32_t v = b & (0x3Fu >> need);
            size_t k = 1;
            for (; k <= need && (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80; ++k)
                v = (v << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
            if (k > need) {
                c = v;
                used = need + 1;
            }
        }
        i += used;
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

} // namespace tavelin
