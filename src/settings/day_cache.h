// The day cache: the last good day's display strings as values 0001, 0002, ...
// of the "Data" subkey of the settings key.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/group.h"
#include "core/log.h"
#include "core/text.h"
#include "settings/registry_store.h"

namespace tavelin {

// The longest string a reader loads whole: its 2,048-byte buffer less the NUL.
inline constexpr size_t kCachedStringLimit = 1023;

// Makes the heap copy of a loaded string; tests pass one that runs out of memory.
using TextCopier = char16_t* (*)(std::u16string_view text) noexcept;

// Consecutive readable values from 0001 on; 0 on any failure.
int32_t COUNTSTRINGSINREG(RegistryStore& store, Log& log);
// Appends each cached string to group; true when at least one value was read.
bool GETSTRINGSFROMREG(RegistryStore& store, Log& log, Group& group, TextCopier copy = DuplicateText);
// Deletes "Data" with its values; true when it was deleted.
bool DELETESTRINGSINREG(RegistryStore& store, Log& log);
// Stores the group's strings as 0001 on, without gaps even past a failed
// write; true when every one was stored.
bool SAVESTRINGSINREG(RegistryStore& store, Log& log, Group& group);

} // namespace tavelin
