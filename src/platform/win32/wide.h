// The one crossing between the portable char16_t text and Windows' wchar_t.
#pragma once

#include <string>
#include <string_view>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows' wchar_t is 16-bit UTF-16");

namespace tavelin::win32 {

inline const wchar_t* as_wide(const char16_t* s) { return reinterpret_cast<const wchar_t*>(s); }
inline wchar_t* as_wide(char16_t* s) { return reinterpret_cast<wchar_t*>(s); }
inline const char16_t* as_u16(const wchar_t* s) { return reinterpret_cast<const char16_t*>(s); }
inline char16_t* as_u16(wchar_t* s) { return reinterpret_cast<char16_t*>(s); }
inline std::wstring_view as_wide(std::u16string_view s) { return {as_wide(s.data()), s.size()}; }
inline std::u16string_view as_u16(std::wstring_view s) { return {as_u16(s.data()), s.size()}; }

// A NUL-terminated copy for calls that need one.
inline std::wstring to_wide(std::u16string_view s) { return std::wstring(as_wide(s)); }

} // namespace tavelin::win32
