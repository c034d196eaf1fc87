// The RegistryStore port over the Win32 registry, with the standard user's
// fallback: when full access to a machine key is denied, the same path under the
// current user takes the writes and is read first, the machine key read-only after it.
#pragma once

#include "settings/registry_store.h"

namespace tavelin::win32 {

class Win32RegistryStore : public RegistryStore {
public:
    // Makes every full-access open of HKEY_LOCAL_MACHINE fail as denied, as for a
    // standard user; lets tests reach the fallback where they run as administrator.
    bool denyMachineFullAccess = false;

    OpenResult CreateOrOpen(Hive hive, std::u16string_view path) override;
    QueryResult Query(RegistryKey key, std::u16string_view name, void* buffer, uint32_t size) override;
    bool Set(RegistryKey key, std::u16string_view name, uint32_t type, const void* data, uint32_t bytes) override;
    bool DeleteSubkey(RegistryKey key, std::u16string_view name) override;
    void Close(RegistryKey key) override;
};

} // namespace tavelin::win32
