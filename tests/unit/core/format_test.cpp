// The bounded formatter: each directive, padding, the cut, and text kept verbatim.
#include <gtest/gtest.h>

#include <climits>

#include "core/format.h"

namespace tavelin {
namespace {

TEST(Format, DirectivesPrintAsCWouldWith32BitLong) {
    EXPECT_EQ(FormatMessage(u"a=%d b=%i c=%u", -5, 7, 4000000000u), u"a=-5 b=7 c=4000000000");
    EXPECT_EQ(FormatMessage(u"%lu|%li|%hu", 4294967295u, -2147483647 - 1, 70000u), u"4294967295|-2147483648|4464");
    EXPECT_EQ(FormatMessage(u"%d", INT_MIN), u"-2147483648");
    // An unsigned value under %d is taken as its 32-bit signed reading, as printf does.
    EXPECT_EQ(FormatMessage(u"%d", 0xFFFFFFFFu), u"-1");
    EXPECT_EQ(FormatMessage(u"%u", -1), u"4294967295");
}

TEST(Format, ZeroPaddedWidths) {
    EXPECT_EQ(FormatMessage(u"%012lu", 41u), u"000000000041");
    EXPECT_EQ(FormatMessage(u"%04d%02i%03i", 2026, 9, 7), u"202609007");
    EXPECT_EQ(FormatMessage(u"%04d", -7), u"-007");
    EXPECT_EQ(FormatMessage(u"%02i", 123), u"123");
    EXPECT_EQ(FormatMessage(u"[%5d][%-4d]", 42, 7), u"[   42][7   ]");
}

TEST(Format, TextArgumentsAreNeverFormats) {
    const std::u16string evil = u"100% %s %d %n";
    EXPECT_EQ(FormatMessage(u"|%s|", evil), u"|100% %s %d %n|");
    EXPECT_EQ(FormatMessage(u"%%s and %s", std::u16string_view(u"x")), u"%s and x");
    // Text stops at an embedded NUL, as a C string would.
    EXPECT_EQ(FormatMessage(u"|%s|", std::u16string_view(u"ab\0cd", 5)), u"|ab|");
}

TEST(Format, OutputIsCutAtTheLimit) {
    const std::u16string long_text(5000, u'x');
    const std::u16string message = FormatMessage(u"GETRSSFEED URL Hostname=|%s|", long_text);
    EXPECT_EQ(message.size(), kMessageLimit);
    EXPECT_EQ(message.substr(0, 25), u"GETRSSFEED URL Hostname=|");
    EXPECT_EQ(FormatBounded(5, u"%d", 1234567), u"12345");
    EXPECT_EQ(FormatBounded(0, u"abc"), u"");
}

TEST(Format, ACutNeverEndsInHalfACharacter) {
    // "a" and 600 U+1F600: at 1,023 units the cut falls inside a pair, whose first half goes too.
    std::u16string faces = u"a";
    for (int i = 0; i < 600; ++i) faces += u"\U0001F600";
    const std::u16string saved =
        FormatMessage(u"SAVESTRINGSINREG Saved, and counted, string %s, |%s|", std::u16string_view(u"0001"), faces);
    EXPECT_EQ(saved.size(), kMessageLimit - 1);
    EXPECT_EQ(saved.back(), u'\xDE00');
    EXPECT_EQ(FormatBounded(3, u"ab\U0001F600"), u"ab");
    EXPECT_EQ(FormatBounded(4, u"ab\U0001F600"), u"ab\U0001F600");
    EXPECT_EQ(FormatBounded(3, u"ab\U0001F600%d", 7), u"ab"); // nothing after the cut slips in
}

TEST(Format, RuntimeFormatsWithUnknownDirectivesKeepTheirText) {
    std::u16string out;
    const FormatArg arg{FormatArg::Kind::Integer, {}, 3};
    FormatInto(out, 100, u"%x %q %d %", std::span<const FormatArg>(&arg, 1));
    EXPECT_EQ(out, u"%x %q 3 %");
    out.clear();
    FormatInto(out, 100, u"%d %s", {}); // missing arguments print nothing
    EXPECT_EQ(out, u" ");
}

} // namespace
} // namespace tavelin
