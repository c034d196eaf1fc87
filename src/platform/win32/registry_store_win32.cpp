// RegCreateKeyExW / RegQueryValueExW / RegSetValueExW / RegDeleteKeyW / RegCloseKey
// behind the RegistryStore port.
#include "platform/win32/registry_store_win32.h"

#include <windows.h>

#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "platform/win32/registry_handle.h"
#include "platform/win32/wide.h"

namespace tavelin::win32 {

namespace {

// One open key of the port: the key written and read first, and in the
// standard user's fallback the machine's key, read-only, consulted after it.
struct OpenKey {
    UniqueKey primary;
    UniqueKey machine;
};

HKEY RootOf(Hive hive) {
    switch (hive) {
    case Hive::LocalMachine: return HKEY_LOCAL_MACHINE;
    case Hive::CurrentUser: return HKEY_CURRENT_USER;
    }
    return HKEY_LOCAL_MACHINE;
}

LSTATUS CreateFull(HKEY root, const std::wstring& path, UniqueKey& key, bool& createdNew) {
    HKEY raw = nullptr;
    DWORD disposition = 0;
    const LSTATUS status = RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                           KEY_ALL_ACCESS, nullptr, &raw, &disposition);
    if (status != ERROR_SUCCESS) return status;
    key.reset(raw);
    createdNew = disposition == REG_CREATED_NEW_KEY;
    return status;
}

OpenResult Handed(UniqueKey primary, UniqueKey machine, bool createdNew) {
    auto* open = new (std::nothrow) OpenKey{std::move(primary), std::move(machine)};
    if (open == nullptr) return {};
    return {true, open, createdNew};
}

bool HoldsValues(HKEY key) {
    DWORD values = 0;
    return RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                            nullptr, nullptr) == ERROR_SUCCESS &&
           values != 0;
}

// The day cache is one list: once the user's copy holds a day, the machine's
// older, longer list must not show through above its count.
bool MachineShowsThrough(const std::wstring& path, HKEY user) {
    return as_u16(path) != kDataPath || !HoldsValues(user);
}

// The standard user's view: the user's copy of the path, created on demand,
// over the machine's values read-only. The key counts as existing when either did.
OpenResult OpenForStandardUser(const std::wstring& path) {
    UniqueKey user;
    bool userCreated = false;
    if (CreateFull(HKEY_CURRENT_USER, path, user, userCreated) != ERROR_SUCCESS) return {};
    HKEY raw = nullptr;
    UniqueKey machine;
    if (MachineShowsThrough(path, user.get()) &&
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &raw) == ERROR_SUCCESS)
        machine.reset(raw);
    const bool createdNew = userCreated && !machine;
    return Handed(std::move(user), std::move(machine), createdNew);
}

bool IsStringType(uint32_t type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

} // namespace

OpenResult Win32RegistryStore::CreateOrOpen(Hive hive, std::u16string_view path) {
    const std::wstring wide = to_wide(path);
    UniqueKey key;
    bool createdNew = false;
    const bool denied = hive == Hive::LocalMachine && denyMachineFullAccess;
    const LSTATUS status = denied ? ERROR_ACCESS_DENIED : CreateFull(RootOf(hive), wide, key, createdNew);
    if (status == ERROR_SUCCESS) return Handed(std::move(key), nullptr, createdNew);
    if (status == ERROR_ACCESS_DENIED && hive == Hive::LocalMachine) return OpenForStandardUser(wide);
    return {};
}

QueryResult Win32RegistryStore::Query(RegistryKey key, std::u16string_view name, void* buffer, uint32_t size) {
    auto* open = static_cast<OpenKey*>(key);
    if (open == nullptr) return {};
    const std::wstring wide = to_wide(name);
    DWORD type = 0;
    DWORD bytes = size;
    LSTATUS status = RegQueryValueExW(open->primary.get(), wide.c_str(), nullptr, &type,
                                      static_cast<BYTE*>(buffer), &bytes);
    if (status == ERROR_FILE_NOT_FOUND && open->machine) {
        bytes = size;
        status = RegQueryValueExW(open->machine.get(), wide.c_str(), nullptr, &type, static_cast<BYTE*>(buffer),
                                  &bytes);
    }
    if (status != ERROR_SUCCESS) return {false, type, 0};
    return {true, type, bytes};
}

bool Win32RegistryStore::Set(RegistryKey key, std::u16string_view name, uint32_t type, const void* data,
                             uint32_t bytes) {
    auto* open = static_cast<OpenKey*>(key);
    if (open == nullptr) return false;
    // RegSetValueExW stores one unit more of a string whose next unit in memory is
    // NUL; a copy followed by a non-NUL guard keeps the count exactly as given.
    std::vector<unsigned char> copy;
    const BYTE* bytesToSet = static_cast<const BYTE*>(data);
    if (IsStringType(type)) {
        copy.assign(bytes + (bytes & 1u) + 2, 0xFF);
        if (bytes != 0) std::memcpy(copy.data(), data, bytes);
        bytesToSet = copy.data();
    }
    return RegSetValueExW(open->primary.get(), to_wide(name).c_str(), 0, type, bytesToSet, bytes) == ERROR_SUCCESS;
}

bool Win32RegistryStore::DeleteSubkey(RegistryKey key, std::u16string_view name) {
    auto* open = static_cast<OpenKey*>(key);
    if (open == nullptr) return false;
    return RegDeleteKeyW(open->primary.get(), to_wide(name).c_str()) == ERROR_SUCCESS;
}

void Win32RegistryStore::Close(RegistryKey key) { delete static_cast<OpenKey*>(key); }

} // namespace tavelin::win32
