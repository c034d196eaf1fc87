// The bounded UTF-16 formatter behind every log message and composed name.
// Understands %s (UTF-16 text), %d %i %li (signed 32-bit), %u %lu (unsigned
// 32-bit), %hu (unsigned 16-bit), a '0' flag and a width, and %%. A literal
// format is checked against its arguments at compile time; a message is never
// used as a format.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

namespace tavelin {

// The longest log message; longer output is cut silently.
inline constexpr size_t kMessageLimit = 1023;

struct FormatArg {
    enum class Kind : uint8_t { Text, Integer };
    Kind kind;
    std::u16string_view text; // Text
    uint64_t bits = 0;        // Integer, as its 64-bit two's complement
};

namespace format_detail {

enum class Want : uint8_t { Text, Integer };

template <class T>
consteval Want WantOf() {
    using U = std::remove_cvref_t<T>;
    if constexpr (std::is_integral_v<U> || std::is_enum_v<U>) return Want::Integer;
    else return Want::Text;
}

template <class T>
concept TextLike = std::convertible_to<const T&, std::u16string_view>;

template <class T>
concept Formattable = std::is_integral_v<std::remove_cvref_t<T>> ||
                      std::is_enum_v<std::remove_cvref_t<T>> || TextLike<std::remove_cvref_t<T>>;

void FormatStringError(const char* why); // never defined: using it in a constant expression fails the build

// Counts the directives of a format and checks each against the argument kinds.
consteval void Check(std::u16string_view f, std::span<const Want> wants) {
    size_t arg = 0;
    for (size_t i = 0; i < f.size(); ++i) {
        if (f[i] != u'%') continue;
        ++i;
        if (i < f.size() && f[i] == u'%') continue;
        while (i < f.size() && (f[i] == u'0' || f[i] == u'-')) ++i;
        while (i < f.size() && f[i] >= u'0' && f[i] <= u'9') ++i;
        if (i < f.size() && (f[i] == u'l' || f[i] == u'h')) ++i;
        if (i >= f.size()) FormatStringError("format ends inside a directive");
        const char16_t c = f[i];
        Want want = Want::Integer;
        if (c == u's') want = Want::Text;
        else if (c != u'd' && c != u'i' && c != u'u') FormatStringError("unknown directive");
        if (arg >= wants.size()) FormatStringError("more directives than arguments");
        if (wants[arg] != want) FormatStringError("argument does not fit its directive");
        ++arg;
    }
    if (arg != wants.size()) FormatStringError("more arguments than directives");
}

} // namespace format_detail

template <class... Args>
class FormatString {
public:
    template <class S>
        requires std::convertible_to<const S&, std::u16string_view>
    consteval FormatString(const S& s) : text_(s) {
        constexpr format_detail::Want wants[sizeof...(Args) + 1] = {format_detail::WantOf<Args>()...,
                                                                    format_detail::Want::Text};
        format_detail::Check(text_, std::span<const format_detail::Want>(wants, sizeof...(Args)));
    }
    std::u16string_view get() const { return text_; }

private:
    std::u16string_view text_;
};

template <class... Args>
using FormatFor = FormatString<std::type_identity_t<Args>...>;

// Appends the formatted text to out, never letting out grow past limit units.
void FormatInto(std::u16string& out, size_t limit, std::u16string_view format,
                std::span<const FormatArg> args);

template <class T>
FormatArg MakeFormatArg(const T& value) {
    using U = std::remove_cvref_t<T>;
    if constexpr (std::is_enum_v<U>) {
        return MakeFormatArg(static_cast<std::underlying_type_t<U>>(value));
    } else if constexpr (std::is_integral_v<U>) {
        return FormatArg{FormatArg::Kind::Integer, {}, static_cast<uint64_t>(static_cast<int64_t>(value))};
    } else {
        return FormatArg{FormatArg::Kind::Text, std::u16string_view(value), 0};
    }
}

// Formats with a checked literal format; the result has at most limit units.
template <format_detail::Formattable... Args>
std::u16string FormatBounded(size_t limit, FormatFor<Args...> format, const Args&... args) {
    std::u16string out;
    const FormatArg list[sizeof...(Args) + 1] = {MakeFormatArg(args)..., FormatArg{}};
    FormatInto(out, limit, format.get(), std::span<const FormatArg>(list, sizeof...(Args)));
    return out;
}

// A log message: at most 1,023 units.
template <format_detail::Formattable... Args>
std::u16string FormatMessage(FormatFor<Args...> format, const Args&... args) {
    return FormatBounded<Args...>(kMessageLimit, format, args...);
}

} // namespace tavelin
