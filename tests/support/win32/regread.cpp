// Prints registry values byte for byte, for tests that check what the saver
// stored:  regread HKLM|HKCU <path> [<value name>]
// One line per value: name, type, byte count, the bytes in hex. Exit 2 when the
// key is absent, 1 when the named value is absent.
#include <cstdio>
#include <string>
#include <string_view>

#include "core/text.h"
#include "platform/win32/registry_inspect.h"
#include "platform/win32/wide.h"

namespace {

using tavelin::Hive;

void Print(const tavelin::win32::RawValue& v) {
    std::string hex;
    char digits[4];
    for (unsigned char b : v.bytes) {
        std::snprintf(digits, sizeof digits, "%02x", b);
        hex += digits;
    }
    std::printf("%s\t%u\t%zu\t%s\n", tavelin::ToUtf8(v.name).c_str(), v.type, v.bytes.size(), hex.c_str());
}

std::u16string_view U16(const wchar_t* s) { return tavelin::win32::as_u16(std::wstring_view(s)); }

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: regread HKLM|HKCU <path> [<value name>]\n");
        return 3;
    }
    const Hive hive = std::wstring_view(argv[1]) == L"HKCU" ? Hive::CurrentUser : Hive::LocalMachine;
    const std::u16string_view path = U16(argv[2]);
    if (argc >= 4) {
        const auto v = tavelin::win32::ReadValue(hive, path, U16(argv[3]));
        if (!v) return tavelin::win32::KeyExists(hive, path) ? 1 : 2;
        Print(*v);
        return 0;
    }
    const auto values = tavelin::win32::ListValues(hive, path);
    if (!values) return 2;
    for (const auto& v : *values) Print(v);
    return 0;
}
