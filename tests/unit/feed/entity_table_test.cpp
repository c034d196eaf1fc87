// The generated entity table: its size, samples of each set, unique sorted names.
#include <gtest/gtest.h>

#include <string>

#include "feed/entity_table.h"

namespace tavelin {
namespace {

TEST(EntityTable, HoldsTheThreeSetsAndApos) {
    ASSERT_EQ(kEntityCount, 253u);
    for (size_t i = 1; i < kEntityCount; ++i) {
        EXPECT_LT(kEntities[i - 1].name, kEntities[i].name) << "sorted and unique at " << i;
    }
    const struct {
        std::u16string_view name;
        char16_t value;
    } samples[] = {
        {u"nbsp", 160}, {u"eacute", 233}, {u"Eacute", 201}, {u"yuml", 255},        // Latin-1
        {u"fnof", 402}, {u"alpha", 945}, {u"Omega", 937}, {u"thetasym", 977},       // symbols
        {u"hearts", 9829}, {u"quot", 34}, {u"amp", 38}, {u"lt", 60}, {u"gt", 62},  // special
        {u"OElig", 338}, {u"euro", 8364}, {u"rsaquo", 8250}, {u"apos", 39},
    };
    for (const auto& s : samples) EXPECT_EQ(FindEntity(s.name), s.value) << std::string(s.name.begin(), s.name.end());
    EXPECT_EQ(FindEntity(u"EACUTE"), 0);
    EXPECT_EQ(FindEntity(u""), 0);
    EXPECT_EQ(FindEntity(u"amp;"), 0);
}

} // namespace
} // namespace tavelin
