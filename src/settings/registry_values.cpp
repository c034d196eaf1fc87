// Typed single-value reads and writes for the settings load and the dialog.
#include "settings/registry_values.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

#include "core/text.h"
#include "settings/settings_table.h"

namespace tavelin {

static_assert(std::endian::native == std::endian::little, "stored records are little-endian");

bool ReadDword(RegistryStore& store, RegistryKey key, std::u16string_view name, uint32_t& value) {
    uint32_t scratch = value;
    if (!store.Query(key, name, &scratch, sizeof scratch).ok) return false;
    value = scratch;
    return true;
}

bool ReadText(RegistryStore& store, RegistryKey key, std::u16string_view name, uint32_t bufferBytes,
              std::u16string& text) {
    const size_t units = bufferBytes / 2;
    if (units == 0) return false;
    std::vector<char16_t> buffer(units, u'\0');
    const QueryResult r = store.Query(key, name, buffer.data(), static_cast<uint32_t>(units * 2));
    if (!r.ok) return false;
    // An odd last byte lands in the low half of a unit the buffer holds at zero.
    const size_t delivered = std::min<size_t>((r.bytes + 1) / 2, units - 1);
    text = std::u16string(UpToNul(std::u16string_view(buffer.data(), delivered)));
    return true;
}

bool ReadFont(RegistryStore& store, RegistryKey key, LogFont& lf) {
    LogFont scratch = lf;
    if (!store.Query(key, kFontSetting.name, &scratch, sizeof scratch).ok) return false;
    // A stored face name of 32 units without NUL would send font calls past the record.
    scratch.lfFaceName[31] = u'\0';
    lf = scratch;
    return true;
}

bool WriteDword(RegistryStore& store, RegistryKey key, std::u16string_view name, uint32_t value) {
    return store.Set(key, name, kRegDword, &value, sizeof value);
}

} // namespace tavelin
