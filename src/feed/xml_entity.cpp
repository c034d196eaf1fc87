// Character references: the entity-name lookup and DECODEENTITY.
#include <algorithm>

#include "feed/entity_table.h"
#include "feed/xml_tree.h"

namespace tavelin {
namespace {

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    return -1;
}

// Digits that do not belong to the base are skipped; the value wraps at 16 bits.
char16_t NumericValue(std::u16string_view digits, bool hex) {
    uint32_t value = 0;
    for (char16_t c : digits) {
        if (hex) {
            const int d = HexDigit(c);
            if (d >= 0) value = ((value << 4) + static_cast<uint32_t>(d)) & 0xFFFF;
        } else if (c >= u'0' && c <= u'9') {
            value = (value * 10 + (c - u'0')) & 0xFFFF;
        }
    }
    return static_cast<char16_t>(value);
}

} // namespace

char16_t FindEntity(std::u16string_view name) {
    const Entity* end = kEntities + kEntityCount;
    const Entity* hit =
        std::lower_bound(kEntities, end, name, [](const Entity& e, std::u16string_view n) { return e.name < n; });
    return hit != end && hit->name == name ? hit->value : u'\0';
}

void DECODEENTITY(ReferenceBuffer& reference) {
    const std::u16string_view text = reference.View();
    if (text.size() >= 2 && text[1] == u'#') {
        const bool hex = text.size() >= 3 && (text[2] == u'x' || text[2] == u'X');
        const char16_t value = NumericValue(text.substr(hex ? 3 : 2), hex);
        reference.length = 0;
        if (value != 0) reference.units[reference.length++] = value;
        return;
    }
    const char16_t value = FindEntity(text.substr(text.empty() ? 0 : 1));
    if (value == 0) return;
    reference.units[0] = value;
    reference.length = 1;
}

} // namespace tavelin
