// Prints every value of one registry key with its exact data, for tests that
// must read back what the saver stored ("reg query" loses non-ASCII text).
//   regdump.exe HKLM|HKCU "Path\To\Key"
// One line per value, UTF-8: name TAB type TAB data; REG_SZ data as text with
// "\\", "\n", "\r" and "\t" escaped, REG_DWORD as a decimal number, anything
// else as hex bytes. Exit code 1 when the key cannot be opened.
#include <windows.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "core/text.h"
#include "platform/win32/registry_inspect.h"
#include "platform/win32/wide.h"

namespace {

std::string Escape(std::u16string_view text) {
    std::string out;
    for (char c : tavelin::ToUtf8(text)) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default: out += c;
        }
    }
    return out;
}

std::string Data(uint32_t type, const std::vector<unsigned char>& bytes) {
    const size_t size = bytes.size();
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        std::u16string text(size / 2, u'\0');
        for (size_t i = 0; i + 1 < size; i += 2) text[i / 2] = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
        return Escape(text);
    }
    if (type == REG_DWORD && size == 4) {
        return std::to_string(bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<DWORD>(bytes[3]) << 24));
    }
    std::string hex;
    char two[3];
    for (unsigned char b : bytes) {
        std::snprintf(two, sizeof two, "%02x", b);
        hex += two;
    }
    return hex;
}

void Write(const std::string& text) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fputs("usage: regdump HKLM|HKCU PATH\n", stderr);
        return 2;
    }
    const tavelin::Hive hive = std::wstring_view(argv[1]) == L"HKCU" ? tavelin::Hive::CurrentUser
                                                                    : tavelin::Hive::LocalMachine;
    const auto values = tavelin::win32::ListValues(hive, tavelin::win32::as_u16(std::wstring_view(argv[2])));
    if (!values) return 1;
    for (const auto& v : *values)
        Write(Escape(v.name) + "\t" + std::to_string(v.type) + "\t" + Data(v.type, v.bytes) + "\n");
    return 0;
}
