// ASCII case folding: only A to Z move, and only the text side is folded.
#include <gtest/gtest.h>

#include "core/text.h"

namespace tavelin {
namespace {

TEST(Text, AsciiLowerMovesOnlyAToZ) {
    // The neighbours of both letter ranges, and letters beyond ASCII, stay as they are.
    const struct { char16_t in, out; } rows[] = {
        {u'A', u'a'}, {u'Z', u'z'}, {u'M', u'm'}, {u'a', u'a'}, {u'z', u'z'},
        {u'@', u'@'}, {u'[', u'['}, {u'`', u'`'}, {u'{', u'{'}, {u'0', u'0'},
        {u'\u00C0', u'\u00C0'}, {u'\u0130', u'\u0130'}, {u'\uFF21', u'\uFF21'}, {u'\u212A', u'\u212A'},
    };
    for (const auto& row : rows) EXPECT_EQ(AsciiLower(row.in), row.out) << static_cast<unsigned>(row.in);
}

TEST(Text, EqualsAsciiLowerFoldsTheTextOnly) {
    const struct { std::u16string_view text, lower; bool equal; } rows[] = {
        {u"HTTPS", u"https", true},
        {u"hTtP", u"http", true},
        {u"", u"", true},
        {u"http", u"https", false},   // a prefix is not the name
        {u"https", u"http", false},
        {u"http", u"HTTP", false},    // names are given in lower case
        {u"\u0130tem", u"item", false},  // no folding beyond ASCII
    };
    for (const auto& row : rows) EXPECT_EQ(EqualsAsciiLower(row.text, row.lower), row.equal) << ToUtf8(row.text);
}

} // namespace
} // namespace tavelin
