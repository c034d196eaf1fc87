// Direct registry reads and clean-up for tests and helper programs, outside the
// RegistryStore port: what a value holds, byte for byte.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/registry_store.h"

namespace tavelin::win32 {

struct RawValue {
    std::u16string name;
    uint32_t type = 0;
    std::vector<unsigned char> bytes;
};

// Every value of a key in the order the registry lists them; nothing when the key is absent.
std::optional<std::vector<RawValue>> ListValues(Hive hive, std::u16string_view path);
// One value, byte for byte; nothing when the key or the value is absent.
std::optional<RawValue> ReadValue(Hive hive, std::u16string_view path, std::u16string_view name);
bool KeyExists(Hive hive, std::u16string_view path);
// Removes a key and everything below it; true when it is gone afterwards.
bool DeleteTree(Hive hive, std::u16string_view path);

} // namespace tavelin::win32
