// Typed reads and writes of single settings values over the RegistryStore port.
// A read goes through scratch space and changes its target only on success.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/settings_values.h"
#include "settings/registry_store.h"

namespace tavelin {

// Reads up to 4 bytes over value's own bytes (little-endian), as a read into the
// variable itself would; a shorter value changes only its low bytes.
bool ReadDword(RegistryStore& store, RegistryKey key, std::u16string_view name, uint32_t& value);

// Reads a text into a zeroed buffer of bufferBytes whose last unit is always NUL:
// the result is the units delivered (an odd last byte as a unit of its own), up to
// the first NUL, at most bufferBytes / 2 - 1 units.
bool ReadText(RegistryStore& store, RegistryKey key, std::u16string_view name, uint32_t bufferBytes,
              std::u16string& text);

// Reads the 92-byte font record over lf; the face name always ends in a NUL.
bool ReadFont(RegistryStore& store, RegistryKey key, LogFont& lf);

bool WriteDword(RegistryStore& store, RegistryKey key, std::u16string_view name, uint32_t value);

} // namespace tavelin
