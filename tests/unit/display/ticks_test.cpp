// Frame and turn ticks, with activation and deactivation, on the recording surface.
#include <gtest/gtest.h>

#include "display/activation.h"
#include "fakes/display_scripted_random.h"
#include "lanes/range.h"
#include "saver_fixture.h"

namespace tavelin {
namespace {

using testing::SaverFixture;
using TicksTest = SaverFixture;

TEST_F(TicksTest, A300PixelLineAtSpeedOneIsDrawnIn2220FramesAndLeavesInThe2221st) {
    const std::u16string text(30, u'w');
    Create({text});
    Turn();
    ASSERT_EQ(ActiveCount(), 1u);
    DisplayLine* line = Active(0);
    line->iSpeed = 1;
    const int32_t lane = line->cyPos;

    int32_t expectedX = 1919;
    for (int frame = 1; frame <= 2220; ++frame) {
        Frame();
        const auto* drawn = surface.Drawn(text);
        ASSERT_NE(drawn, nullptr) << "frame " << frame;
        ASSERT_EQ(drawn->x, expectedX--);
        ASSERT_EQ(drawn->y, lane);
    }
    EXPECT_EQ(surface.sentTurnTicks, 0u);
    Frame();
    EXPECT_EQ(surface.Drawn(text), nullptr);
    EXPECT_EQ(surface.sentTurnTicks, 1u);
    // The only line: reset, queued and brought straight back in the nested turn.
    ASSERT_EQ(ActiveCount(), 1u);
    EXPECT_EQ(Active(0), line);
    EXPECT_EQ(line->cxPos, 1920);
    EXPECT_EQ(line->iScrollCount, 0);
    EXPECT_EQ(CountOf(u"WM_TIMER,ID_TURNTIMER Active String 0 is resetting for scrolling."), 1u);
    EXPECT_EQ(saver.display.gRanges.GetCount(), 2u);
}

TEST_F(TicksTest, NewsTickerRunsOffTheLeftEdgeAndWrapsToTheRight) {
    Create({}, std::u16string(50, u'n')); // 500 pixels wide
    std::vector<int32_t> xs;
    for (int frame = 0; frame < 2432; ++frame) {
        Frame();
        ASSERT_EQ(surface.Last().texts.size(), 1u);
        const auto& news = surface.Last().texts[0];
        EXPECT_EQ(news.font, FontKind::News);
        EXPECT_EQ(news.colour, 0xFFFFFFu);
        EXPECT_EQ(news.y, saver.display.cyNewsPos);
        xs.push_back(news.x);
    }
    EXPECT_EQ(xs.front(), 1919);
    EXPECT_EQ(xs[2428], -509);
    EXPECT_EQ(xs[2429], 1921);
    EXPECT_EQ(xs[2430], 1920);
}

TEST_F(TicksTest, TurnsBringOnOneLineEachUpToTheLimitAndReArmTheirTimer) {
    stored.dwMaxShowStrings = 3;
    Create({u"a1", u"a2", u"a3", u"a4", u"a5", u"a6", u"a7", u"a8", u"a9", u"b0"});
    for (uint32_t turn = 1; turn <= 5; ++turn) {
        surface.timerEvents.clear();
        Turn();
        EXPECT_EQ(ActiveCount(), std::min(turn, 3u));
        ASSERT_EQ(surface.timerEvents.size(), 2u);
        EXPECT_FALSE(surface.timerEvents[0].started);
        EXPECT_TRUE(surface.timerEvents[1].started);
        EXPECT_EQ(surface.timerEvents[1].id, ID_TURNTIMER);
        EXPECT_GE(surface.timerEvents[1].milliseconds, 2000u);
        EXPECT_LE(surface.timerEvents[1].milliseconds, 10000u);
    }
    EXPECT_EQ(std::u16string(Active(2)->pszText), u"a3");
    EXPECT_EQ(std::u16string(Inactive(0)->pszText), u"a4");
    EXPECT_EQ(CountOf(u"WM_TIMER,ID_TURNTIMER Have reached active string limit, so not activating another string."),
              2u);
}

TEST_F(TicksTest, TwoLinesLeavingInOneFrameAreEachQueuedOnceAndNewcomersWaitAFrame) {
    stored.dwMaxShowStrings = 2;
    Create({u"aa", u"bb", u"cc"});
    Turn();
    Turn();
    DisplayLine* a = Active(0);
    DisplayLine* b = Active(1);
    DisplayLine* c = Inactive(0);
    for (DisplayLine* line : {a, b}) {
        line->iSpeed = 2;
        line->cxPos = -line->cxSize + 1; // leaves in the next frame
    }
    Frame();
    EXPECT_EQ(surface.sentTurnTicks, 2u);
    EXPECT_EQ(CountOf(u"DEACTIVATE Function called."), 2u);
    ASSERT_EQ(ActiveCount(), 2u);
    EXPECT_EQ(Active(0), c);
    EXPECT_EQ(Active(1), a);
    EXPECT_EQ(Inactive(0), b);
    EXPECT_EQ(InactiveCount(), 1u);
    // Brought on inside this frame: neither moved nor drawn until the next one.
    EXPECT_EQ(c->cxPos, 1920);
    EXPECT_EQ(a->cxPos, 1920);
    EXPECT_TRUE(surface.Last().texts.empty());
    Frame();
    EXPECT_EQ(c->cxPos, 1920 - c->iSpeed);
    EXPECT_EQ(surface.Last().texts.size(), 2u);
}

TEST_F(TicksTest, LeavingLineIsResetBlueFirstWithTheTurnsLogInOrder) {
    clock.utcMilliseconds = 733;
    stored.dwMaxShowStrings = 1;
    Create({u"leaver", u"waiter"});
    Turn();
    DisplayLine* line = Active(0);
    line->cxPos = -line->cxSize - 1 + line->iSpeed; // leaves in the next frame
    const size_t before = Messages().size();
    surface.timerEvents.clear();
    Frame();

    // Replay: two lines made (red, green, blue, speed each), the first turn's
    // interval and lane (range, row), then the nested turn's interval and reset.
    Lcg15 expected;
    expected.Seed(733);
    for (int draw = 0; draw < 2 * 4 + 1 + 2; ++draw) expected.Next();
    const int32_t interval = RANDOMINRANGE(expected, 2000, 10000);
    const int32_t blue = RANDOMINRANGE(expected, 100, 255);
    const int32_t green = RANDOMINRANGE(expected, 100, 255);
    const int32_t red = RANDOMINRANGE(expected, 100, 255);
    ASSERT_NE(red, blue); // else the order of the channels would not show
    EXPECT_EQ(line->crText, MakeColour(red, green, blue));
    EXPECT_EQ(line->iSpeed, RANDOMINRANGE(expected, 1, 4));
    ASSERT_EQ(surface.timerEvents.size(), 2u);
    EXPECT_EQ(surface.timerEvents[1].milliseconds, static_cast<uint32_t>(interval));

    const auto all = Messages();
    std::vector<std::u16string> turn;
    for (auto it = all.begin() + static_cast<std::ptrdiff_t>(before); it != all.end(); ++it)
        if (it->starts_with(u"WM_TIMER") || it->starts_with(u"ACTIVATE") || it->starts_with(u"DEACTIVATE"))
            turn.push_back(*it);
    EXPECT_EQ(turn, (std::vector<std::u16string>{
                        u"WM_TIMER,ID_TURNTIMER Message Received",
                        u"WM_TIMER,ID_TURNTIMER -- START -- ",
                        u"WM_TIMER,ID_TURNTIMER Considering Active String 0",
                        u"WM_TIMER,ID_TURNTIMER Active String 0 is resetting for scrolling.",
                        u"WM_TIMER,ID_TURNTIMER Active String 0 exceeded scroll count, deactivating, resetting "
                        u"scrollcount",
                        u"DEACTIVATE Function called.",
                        u"DEACTIVATE calling REMOVEUNIQUEHEIGHT for maintenance",
                        u"DEACTIVATE returning from REMOVEUNIQUEHEIGHT, returned 1",
                        u"DEACTIVATE Inactive string given zero height",
                        u"WM_TIMER,ID_TURNTIMER Have not got enough strings, so activating string at head of "
                        u"Inactive Queue.",
                        u"ACTIVATE Function called.",
                        u"ACTIVATE Number of Inactive Strings = 2",
                        u"ACTIVATE Removal Attempted, Number of Inactive Strings = 1",
                        u"ACTIVATE Add Attempted, Number of Active Strings = 1",
                        u"WM_TIMER,ID_TURNTIMER Returned from Activate function.",
                    }));
    EXPECT_EQ(std::u16string(Active(0)->pszText), u"waiter");
    EXPECT_EQ(Inactive(0), line);
}

// Recall: what each text shows before and from the frame its line reaches the middle.
TEST_F(TicksTest, RecallShowsTheDaysWordsAloneUntilTheMiddle) {
    const std::vector<std::u16string> texts = {u"casa:house", u"casa", u":casa:house", u"re:do:again", u"casa:",
                                               u"Acme: a good day"}; // the company line follows the day's words
    const std::vector<std::u16string> before = {u"casa:", u"casa",  u":casa:house",
                                                u"re:",   u"casa:", u"Acme: a good day"};
    stored.gRecallEnabled = true;
    dayTexts = 5;
    Create(texts);
    for (size_t i = 0; i < texts.size(); ++i) Turn();
    for (uint32_t i = 0; i < ActiveCount(); ++i)
        std::tie(Active(i)->iSpeed, Active(i)->cxPos) = std::make_tuple(1, 962);
    for (const auto& shows : {before, texts}) {
        Frame(); // at 961, then 960: the middle
        for (const auto& text : shows) {
            const auto* drawn = surface.Drawn(text);
            ASSERT_NE(drawn, nullptr) << ToUtf8(text);
            EXPECT_EQ(drawn->size.cx, 10 * static_cast<int32_t>(text.size())) << ToUtf8(text);
        }
    }
}

TEST_F(TicksTest, RecallRevealsOnceLeavesByTheWholeWidthAndComesBackHidden) {
    stored.gRecallEnabled = true;
    Create({u"casa:house"});
    Turn();
    DisplayLine* line = Active(0);
    std::tie(line->iSpeed, line->cxPos) = std::make_tuple(1, 962);
    const int32_t lane = line->cyPos, height = line->cySize;
    const size_t keeps = surface.keeps;
    for (int i = 0; i < 20; ++i) Frame();
    EXPECT_EQ(CountOf(u"WM_TIMER,ID_FRAMETIMER Recall: line at x=960 shows its translation, 100 pixels wide"), 1u);
    EXPECT_EQ(surface.keeps, keeps + 2); // the word's picture, then the whole line's once, not every frame
    const auto* whole = surface.Drawn(u"casa:house");
    ASSERT_NE(whole, nullptr);
    EXPECT_EQ(std::make_tuple(whole->y, whole->size.cy), std::make_tuple(lane, height));
    // The word alone would have left at -51; the whole line is drawn down to -100.
    line->cxPos = -99;
    Frame();
    EXPECT_NE(surface.Drawn(u"casa:house"), nullptr);
    Frame();
    EXPECT_EQ(surface.sentTurnTicks, 1u);
    // The only line comes straight back for another pass, its word alone again.
    EXPECT_EQ(std::make_tuple(Active(0), line->cxPos, line->cxSize, line->cySize),
              std::make_tuple(line, 1920, 50, height));
    Frame();
    EXPECT_NE(surface.Drawn(u"casa:"), nullptr);
}

TEST_F(TicksTest, LogoPlaceholderScrollsInvisiblyUnlessTheLogoIsOn) {
    for (const bool logoOn : {false, true}) {
        SCOPED_TRACE(logoOn);
        fakes::RecordingSurface s;
        fakes::FakeClock k;
        fakes::MemoryLogFile f;
        Log l{f, k};
        SaverWindow w{s, s, k, l,
                      SaverSteps{[&](SaverSettings& out, Log&) { out.gLogoEnabled = logoOn; },
                                 [](Group& messages, News&) { messages.Add(DuplicateText(u"")); }, nullptr}};
        w.Procedure(nullptr, msg::WM_CREATE, 0, 0);
        w.Procedure(nullptr, msg::WM_TIMER, ID_TURNTIMER, 0);
        w.Procedure(nullptr, msg::WM_TIMER, ID_FRAMETIMER, 0);
        const auto* line = static_cast<DisplayLine*>(w.display.gActiveStrings.GetAt(0));
        ASSERT_NE(line, nullptr);
        EXPECT_TRUE(s.Last().texts.empty());
        if (!logoOn) {
            EXPECT_TRUE(s.Last().logos.empty());
            continue;
        }
        ASSERT_EQ(s.Last().logos.size(), 1u);
        const auto& logo = s.Last().logos[0];
        EXPECT_EQ(std::make_tuple(logo.x, logo.y, logo.cx, logo.cy),
                  std::make_tuple(line->cxPos, line->cyPos, 75, 75));
    }
}

TEST_F(TicksTest, BeforeTheFirstTurnFramesAreBlack) {
    Create({u"alpha", u"beta"});
    for (int i = 0; i < 60; ++i) Frame();
    EXPECT_EQ(surface.framesCopied, 60u);
    for (const auto& frame : surface.frames) EXPECT_TRUE(frame.texts.empty() && frame.logos.empty());
}

// ACTIVATE and DEACTIVATE on their own lists.
class ActivationTest : public ::testing::Test {
protected:
    ~ActivationTest() override {
        for (Group* g : {&active, &inactive}) while (g->GetCount()) delete static_cast<DisplayLine*>(g->RemoveAt(0));
        while (ranges.GetCount()) delete static_cast<Range*>(ranges.RemoveAt(0));
    }
    DisplayLine* Queue(int32_t cySize) {
        auto* line = new DisplayLine{nullptr, 1920, 0, 100, cySize, 0, 0, 1};
        inactive.Add(line);
        return line;
    }
    fakes::MemoryLogFile files;
    fakes::FakeClock clock;
    Log log{files, clock};
    fakes::ScriptedRandom random;
    LaneAllocator lanes{log, random};
    Group active, inactive, ranges;
};

TEST_F(ActivationTest, HeadThatFitsNoLaneStaysAtTheHead) {
    log.gLogEnabled = true;
    log.Open();
    DisplayLine* tall = Queue(120);
    Queue(10);
    EXPECT_FALSE(ACTIVATE(active, inactive, 100, ranges, lanes, log));
    EXPECT_EQ(active.GetCount(), 0u);
    EXPECT_EQ(inactive.GetCount(), 2u);
    EXPECT_EQ(inactive.GetAt(0), tall);
    EXPECT_EQ(fakes::MemoryLogFile::Messages(*files.Only()).back(),
              u"ACTIVATE ERROR GUH2 returned height of -1, NOT ACTIVATING STRING.");
}

TEST_F(ActivationTest, ActivatedLineIsLastOnScreenAndItsLaneComesBack) {
    DisplayLine* first = Queue(40);
    DisplayLine* second = Queue(40);
    ASSERT_TRUE(ACTIVATE(active, inactive, 600, ranges, lanes, log));
    ASSERT_TRUE(ACTIVATE(active, inactive, 600, ranges, lanes, log));
    EXPECT_EQ(active.GetAt(1), second);
    EXPECT_EQ(inactive.GetCount(), 0u);
    EXPECT_GT(first->cyPos, 0);

    EXPECT_TRUE(DEACTIVATE(active, inactive, 2, ranges, lanes, log)); // past the end: the last
    EXPECT_EQ(active.GetAt(0), first);
    EXPECT_EQ(inactive.GetAt(0), second);
    EXPECT_EQ(second->cyPos, 0);
    EXPECT_TRUE(DEACTIVATE(active, inactive, 0, ranges, lanes, log));
    EXPECT_EQ(active.GetCount(), 0u);
    ASSERT_EQ(ranges.GetCount(), 1u);
    const auto* whole = static_cast<Range*>(ranges.GetAt(0));
    EXPECT_EQ(std::make_tuple(whole->iTop, whole->iBottom, whole->iRange), std::make_tuple(0, 599, 600));
}

TEST_F(ActivationTest, RefusedNodesKeepEveryLineInExactlyOneList) {
    struct Gate {
        static bool Deny(void*) { return false; }
    };
    DisplayLine* line = Queue(40);
    active.SetAllocationGate(&Gate::Deny, nullptr);
    EXPECT_FALSE(ACTIVATE(active, inactive, 600, ranges, lanes, log));
    EXPECT_EQ(inactive.GetAt(0), line);
    EXPECT_EQ(line->cyPos, 0);
    EXPECT_EQ(ranges.GetCount(), 1u); // the lane went back

    active.SetAllocationGate(nullptr, nullptr);
    ASSERT_TRUE(ACTIVATE(active, inactive, 600, ranges, lanes, log));
    const int32_t lane = line->cyPos;
    inactive.SetAllocationGate(&Gate::Deny, nullptr);
    EXPECT_FALSE(DEACTIVATE(active, inactive, 0, ranges, lanes, log));
    EXPECT_EQ(active.GetAt(0), line);
    EXPECT_EQ(line->cyPos, lane);
    EXPECT_EQ(ranges.GetCount(), 2u);
}

} // namespace
} // namespace tavelin
