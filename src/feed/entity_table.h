// The named character references of the feed reader: HTML 4.01's Latin-1,
// symbol and special sets plus apos, sorted by name for a binary search.
#pragma once

#include <cstddef>
#include <string_view>

namespace tavelin {

struct Entity {
    std::u16string_view name;
    char16_t value;
};

inline constexpr size_t kEntityCount = 253;
extern const Entity kEntities[kEntityCount];

// The character of an entity name (exact, case-sensitive), or 0 when there is none.
char16_t FindEntity(std::u16string_view name);

} // namespace tavelin
