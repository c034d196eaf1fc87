// Direct registry inspection for tests and tools.
#include "platform/win32/registry_inspect.h"

#include <windows.h>

#include "platform/win32/registry_handle.h"
#include "platform/win32/wide.h"

namespace tavelin::win32 {

namespace {

HKEY RootOf(Hive hive) { return hive == Hive::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }

UniqueKey OpenRead(Hive hive, std::u16string_view path) {
    HKEY raw = nullptr;
    if (RegOpenKeyExW(RootOf(hive), to_wide(path).c_str(), 0, KEY_READ, &raw) != ERROR_SUCCESS) return nullptr;
    return UniqueKey(raw);
}

std::optional<RawValue> ValueAt(HKEY key, DWORD index, DWORD maxName, DWORD maxData) {
    std::wstring name(maxName + 1, L'\0');
    std::vector<unsigned char> data(maxData + 2);
    DWORD nameUnits = maxName + 1;
    DWORD bytes = static_cast<DWORD>(data.size());
    DWORD type = 0;
    if (RegEnumValueW(key, index, name.data(), &nameUnits, nullptr, &type, data.data(), &bytes) != ERROR_SUCCESS)
        return std::nullopt;
    data.resize(bytes);
    return RawValue{std::u16string(as_u16(std::wstring_view(name.data(), nameUnits))), type, std::move(data)};
}

} // namespace

std::optional<std::vector<RawValue>> ListValues(Hive hive, std::u16string_view path) {
    UniqueKey key = OpenRead(hive, path);
    if (!key) return std::nullopt;
    DWORD count = 0, maxName = 0, maxData = 0;
    if (RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &maxName, &maxData,
                         nullptr, nullptr) != ERROR_SUCCESS)
        return std::nullopt;
    std::vector<RawValue> values;
    for (DWORD i = 0; i < count; ++i)
        if (auto v = ValueAt(key.get(), i, maxName, maxData)) values.push_back(std::move(*v));
    return values;
}

std::optional<RawValue> ReadValue(Hive hive, std::u16string_view path, std::u16string_view name) {
    UniqueKey key = OpenRead(hive, path);
    if (!key) return std::nullopt;
    const std::wstring wide = to_wide(name);
    DWORD type = 0, bytes = 0;
    if (RegQueryValueExW(key.get(), wide.c_str(), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS)
        return std::nullopt;
    std::vector<unsigned char> data(bytes + 2);
    DWORD got = static_cast<DWORD>(data.size());
    if (RegQueryValueExW(key.get(), wide.c_str(), nullptr, &type, data.data(), &got) != ERROR_SUCCESS)
        return std::nullopt;
    data.resize(got);
    return RawValue{std::u16string(name), type, std::move(data)};
}

bool KeyExists(Hive hive, std::u16string_view path) { return static_cast<bool>(OpenRead(hive, path)); }

bool DeleteTree(Hive hive, std::u16string_view path) {
    const LSTATUS status = RegDeleteTreeW(RootOf(hive), to_wide(path).c_str());
    if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) {
        RegDeleteKeyW(RootOf(hive), to_wide(path).c_str());
        return !KeyExists(hive, path);
    }
    return false;
}

} // namespace tavelin::win32
