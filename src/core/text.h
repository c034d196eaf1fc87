// UTF-16 text helpers shared by every subsystem. Heap texts handed between
// subsystems (the message group, display lines) are NUL-terminated char16_t
// arrays made by DuplicateText and released by ReleaseText.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tavelin {

// A day keeps at most this many texts, so each fits a four-digit cache name
// and neither the feed nor the cache can hold start-up for long.
inline constexpr uint32_t kDayTextLimit = 9999;

// A heap copy of text with a terminating NUL, or null when memory is short.
char16_t* DuplicateText(std::u16string_view text) noexcept;
void ReleaseText(const char16_t* text) noexcept;

// The units before the first NUL (the whole view when there is none).
constexpr std::u16string_view UpToNul(std::u16string_view text) {
    const size_t nul = text.find(u'\0');
    return nul == std::u16string_view::npos ? text : text.substr(0, nul);
}

constexpr bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }

// The units worth keeping of what a cut kept: a high surrogate at its end lost
// its partner to the cut, so it goes too. Every cut of a text to a buffer comes
// through here, so no half character reaches a reader.
constexpr size_t WholeLength(std::u16string_view kept) {
    return !kept.empty() && IsHighSurrogate(kept.back()) ? kept.size() - 1 : kept.size();
}
// The units of text kept when it is cut to limit.
constexpr size_t CutLength(std::u16string_view text, size_t limit) {
    return text.size() <= limit ? text.size() : WholeLength(text.substr(0, limit));
}
constexpr std::u16string_view CutText(std::u16string_view text, size_t limit) {
    return text.substr(0, CutLength(text, limit));
}

// ASCII letters in lower case, every other unit as it is: element names and URL
// schemes compare this way, the same in every locale.
constexpr char16_t AsciiLower(char16_t unit) {
    return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit - u'A' + u'a') : unit;
}
// Whether text is lower (itself written in lower case) with ASCII case ignored.
constexpr bool EqualsAsciiLower(std::u16string_view text, std::u16string_view lower) {
    if (text.size() != lower.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (AsciiLower(text[i]) != lower[i]) return false;
    }
    return true;
}

// A fixed-size field: text cut silently at its limit of units.
inline std::u16string CapText(std::u16string_view text, size_t limit) { return std::u16string(CutText(text, limit)); }

// UTF-8 of UTF-16 text (lone surrogates become U+FFFD); for tools and test output.
std::string ToUtf8(std::u16string_view text);
// UTF-16 of valid UTF-8 text (invalid bytes become U+FFFD); for tools and tests.
std::u16string FromUtf8(std::string_view text);

} // namespace tavelin
