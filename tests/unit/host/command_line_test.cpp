// The command line: every switch form the display settings and users give.
#include <gtest/gtest.h>

#include "host/command_line.h"

namespace tavelin {
namespace {

struct Row {
    const char16_t* line;
    SaverMode mode;
    uint32_t window;
};

const Row kRows[] = {
    {u"Tavelin.scr", SaverMode::ConfigureAlone, 0},
    {u"Tavelin.scr   ", SaverMode::ConfigureAlone, 0},
    {u"\"C:\\Program Files\\Tavelin Saver\\Tavelin.scr\" /s", SaverMode::FullScreen, 0},
    {u"\"C:\\Program Files\\Tavelin Saver\\Tavelin.scr\"", SaverMode::ConfigureAlone, 0},
    {u"\"C:\\no closing quote /s", SaverMode::ConfigureAlone, 0},
    {u"Tavelin.scr -S", SaverMode::FullScreen, 0},
    {u"Tavelin.scr /s", SaverMode::FullScreen, 0},
    {u"Tavelin.scr      s", SaverMode::FullScreen, 0},
    {u"Tavelin.scr\t/s", SaverMode::FullScreen, 0},
    {u"Tavelin.scr /-/ -s", SaverMode::FullScreen, 0},
    {u"Tavelin.scr /saver /x", SaverMode::FullScreen, 0},
    {u"Tavelin.scr /p 4711", SaverMode::Preview, 4711},
    {u"Tavelin.scr /P    4711", SaverMode::Preview, 4711},
    {u"Tavelin.scr /l 4711", SaverMode::Preview, 4711},
    {u"Tavelin.scr /L4711", SaverMode::Preview, 4711},
    {u"Tavelin.scr /p 4711x99", SaverMode::Preview, 4711},
    {u"Tavelin.scr /p:1234", SaverMode::Preview, 0},
    {u"Tavelin.scr /p", SaverMode::Preview, 0},
    {u"Tavelin.scr /p\t4711", SaverMode::Preview, 0},
    {u"Tavelin.scr /c:0", SaverMode::Configure, 0},
    {u"Tavelin.scr /c:1234", SaverMode::Configure, 1234},
    {u"Tavelin.scr /C:1234", SaverMode::Configure, 1234},
    {u"Tavelin.scr /c 1234", SaverMode::Configure, 0},
    {u"Tavelin.scr /c", SaverMode::Configure, 0},
    {u"Tavelin.scr /a 99", SaverMode::PasswordChange, 99},
    {u"Tavelin.scr /A", SaverMode::PasswordChange, 0},
    {u"Tavelin.scr /x", SaverMode::Invalid, 0},
    {u"Tavelin.scr /\x01s", SaverMode::Invalid, 0},
    {u"Tavelin.scr /\ts", SaverMode::Invalid, 0},
    {u"Tavelin.scr :s", SaverMode::Invalid, 0},
    {u"Tavelin.scr /\u00e9", SaverMode::Invalid, 0},
};

TEST(CommandLine, EveryForm) {
    for (const Row& row : kRows) {
        const SaverCommand got = ParseCommandLine(row.line);
        EXPECT_EQ(got.mode, row.mode) << "line index " << (&row - kRows);
        EXPECT_EQ(got.window, row.window) << "line index " << (&row - kRows);
    }
}

TEST(CommandLine, WindowNumbers) {
    EXPECT_EQ(ParseWindowNumber(u""), 0u);
    EXPECT_EQ(ParseWindowNumber(u"x12"), 0u);
    EXPECT_EQ(ParseWindowNumber(u"007"), 7u);
    EXPECT_EQ(ParseWindowNumber(u"4294967295"), 4294967295u);
    // Too large for any window handle: no window rather than a wrapped one.
    EXPECT_EQ(ParseWindowNumber(u"4294967296"), 0u);
    EXPECT_EQ(ParseWindowNumber(u"99999999999999999999999"), 0u);
}

} // namespace
} // namespace tavelin
