// Prints every value of one registry key with its exact data, for tests that
// must read back what the saver stored ("reg query" loses non-ASCII text).
//   regdump.exe HKLM|HKCU "Path\To\Key"
// One line per value, UTF-8: name TAB type TAB data; REG_SZ data as text with
// "\\", "\n", "\r" and "\t" escaped, REG_DWORD as a decimal number, anything
// else as hex bytes. Exit code 1 when the key cannot be opened.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/text.h"
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

std::string Data(DWORD type, const std::vector<BYTE>& bytes, DWORD size) {
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        std::u16string text(size / 2, u'\0');
        for (DWORD i = 0; i + 1 < size; i += 2) text[i / 2] = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
        return Escape(text);
    }
    if (type == REG_DWORD && size == 4) {
        return std::to_string(bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<DWORD>(bytes[3]) << 24));
    }
    std::string hex;
    char two[3];
    for (DWORD i = 0; i < size; ++i) {
        std::snprintf(two, sizeof two, "%02x", bytes[i]);
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
    const std::wstring hive = argv[1];
    HKEY root = hive == L"HKCU" ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, argv[2], 0, KEY_READ, &key) != ERROR_SUCCESS) return 1;
    std::vector<BYTE> data(1 << 20);
    for (DWORD i = 0;; ++i) {
        wchar_t name[16384];
        DWORD nameLength = 16384;
        DWORD type = 0;
        DWORD size = static_cast<DWORD>(data.size());
        const LONG status = RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data.data(), &size);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS) continue;
        const std::u16string_view n(tavelin::win32::as_u16(name), nameLength);
        Write(Escape(n) + "\t" + std::to_string(type) + "\t" + Data(type, data, size) + "\n");
    }
    RegCloseKey(key);
    return 0;
}
