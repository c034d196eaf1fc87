// Several monitors: one display each, texts dealt in turn, and every monitor's
// frames kept to its own rectangle of the window.
#include <gtest/gtest.h>

#include <functional>
#include <numeric>
#include <set>

#include "saver_fixture.h"

namespace tavelin {
namespace {

using testing::SaverFixture;
using MonitorsTest = SaverFixture;

std::vector<std::u16string> Queued(DisplayState& shown) {
    std::vector<std::u16string> out;
    for (uint32_t i = 0; i < shown.gInactiveStrings.GetCount(); ++i) {
        const auto* line = static_cast<const DisplayLine*>(shown.gInactiveStrings.GetAt(i));
        out.emplace_back(line->pszText);
    }
    return out;
}

TEST_F(MonitorsTest, DaysTextsAreDealtInTurnAndTheRestIsThePrimarys) {
    struct Case {
        const char* name;
        std::vector<Rect> monitors; // as the port gives them
        std::vector<std::u16string> texts;
        uint32_t dayTexts;
        std::vector<std::vector<std::u16string>> queued; // per monitor, the primary first
    } cases[] = {
        {"one monitor", {}, {u"a", u"b", u"c", u"Co", u""}, 3, {{u"a", u"b", u"c", u"Co", u""}}},
        {"the port's one monitor", {{0, 0, 800, 600}}, {u"a", u"b"}, 2, {{u"a", u"b"}}},
        {"two side by side",
         {{0, 0, 1280, 720}, {1280, 0, 1280, 720}},
         {u"a", u"b", u"c", u"d", u"e", u"Co", u""},
         5,
         {{u"a", u"c", u"e", u"Co", u""}, {u"b", u"d"}}},
        {"primary right of the second",
         {{1024, 0, 1280, 720}, {0, 100, 1024, 600}},
         {u"a", u"b", u"c", u""},
         3,
         {{u"a", u"c", u""}, {u"b"}}},
        {"three, fewer texts", {{0, 0, 800, 600}, {0, 600, 800, 600}, {800, 0, 640, 480}},
         {u"a", u"b", u"Co"}, 2, {{u"a", u"Co"}, {u"b"}, {}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fakes::RecordingSurface s;
        s.monitors = c.monitors;
        fakes::FakeClock k;
        fakes::MemoryLogFile f;
        Log l{f, k};
        SaverWindow w{s, s, k, l,
                      SaverSteps{[](SaverSettings&, Log& log) {
                                     log.gLogEnabled = true;
                                     log.Open();
                                 },
                                 [&](Group& messages, News& news) {
                                     for (const auto& t : c.texts) messages.Add(DuplicateText(t));
                                     w.display.dayTexts = c.dayTexts;
                                     news.gNewsString = u"the news";
                                     news.gNewsSet = true;
                                 },
                                 nullptr}};
        w.Procedure(nullptr, msg::WM_CREATE, 0, 0);
        ASSERT_EQ(w.MonitorCount(), c.queued.size());
        const auto log = fakes::MemoryLogFile::Messages(*f.Only());
        Rect covered;
        for (uint32_t m = 0; m < w.MonitorCount(); ++m) {
            DisplayState& shown = w.MonitorState(m);
            EXPECT_EQ(Queued(shown), c.queued[m]) << "monitor " << m;
            const Rect area = c.monitors.size() > 1 ? c.monitors[m] : Rect{0, 0, s.width, s.height};
            EXPECT_EQ(w.MonitorArea(m), area);
            EXPECT_EQ(shown.cxScreen, area.cx);
            EXPECT_EQ(shown.cyScreen, area.cy);
            for (uint32_t i = 0; i < shown.gInactiveStrings.GetCount(); ++i)
                EXPECT_EQ(static_cast<DisplayLine*>(shown.gInactiveStrings.GetAt(i))->cxPos, area.cx);
            // The ticker shortens the primary's band alone.
            EXPECT_EQ(shown.cyClientScrolling < shown.cyScreen, m == 0);
            covered = Bound(covered, Rect{0, 0, area.Right(), area.Bottom()});
            if (c.monitors.size() > 1) {
                const std::u16string named = FormatMessage<int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                                                           std::u16string_view>(
                    u"WM_CREATE Monitor %d of %d at x=%d, y=%d, %d x %d%s", static_cast<int32_t>(m + 1),
                    static_cast<int32_t>(c.monitors.size()), area.x, area.y, area.cx, area.cy,
                    m == 0 ? u", primary" : u"");
                EXPECT_EQ(std::count(log.begin(), log.end(), named), 1);
            }
        }
        EXPECT_EQ(s.bufferWidth, covered.cx);
        EXPECT_EQ(s.bufferHeight, covered.cy);
        const bool named = std::any_of(log.begin(), log.end(),
                                       [](const std::u16string& m) { return m.starts_with(u"WM_CREATE Monitor"); });
        EXPECT_EQ(named, c.monitors.size() > 1);
        w.Procedure(nullptr, msg::WM_DESTROY, 0, 0);
        EXPECT_TRUE(s.pictures.empty());
    }
}

TEST_F(MonitorsTest, EachMonitorShowsUpToTheLimitAndItsLaneLinesSaySo) {
    surface.monitors = {{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}};
    stored.dwMaxShowStrings = 2;
    Create({u"a", u"b", u"c", u"d", u"e", u"f", u"g"});
    for (int i = 0; i < 6; ++i) Turn();
    EXPECT_EQ(saver.MonitorState(0).gActiveStrings.GetCount(), 2u);
    EXPECT_EQ(saver.MonitorState(1).gActiveStrings.GetCount(), 2u);
    const auto log = Messages();
    EXPECT_EQ(CountOf(u"Monitor 1: ACTIVATE Function called."), 2u);
    EXPECT_EQ(CountOf(u"Monitor 2: ACTIVATE Function called."), 2u);
    EXPECT_EQ(CountOf(u"ACTIVATE Function called."), 0u);
    EXPECT_EQ(CountOf(u"Monitor 2: WM_TIMER,ID_TURNTIMER Have reached active string limit, so not activating "
                      u"another string."),
              4u);
    // The tick itself belongs to no monitor.
    EXPECT_EQ(CountOf(u"WM_TIMER,ID_TURNTIMER Message Received"), 6u);
    saver.Procedure(kWindow, msg::WM_DESTROY, 0, 0);
    EXPECT_EQ(CountOf(u"Monitor 2: WM_DESTROY gInactiveStrings(0), Attempting deletion..."), 1u);
    EXPECT_EQ(CountOf(u"WM_DESTROY Clean Exit"), 1u);
}

TEST_F(MonitorsTest, RecallRevealsAtTheMiddleOfItsOwnMonitor) {
    surface.monitors = {{600, 0, 1000, 600}, {0, 0, 600, 600}};
    stored.gRecallEnabled = true;
    Create({u"uno:one", u"dos:two"});
    Turn();
    ASSERT_EQ(saver.MonitorState(0).gActiveStrings.GetCount(), 1u);
    ASSERT_EQ(saver.MonitorState(1).gActiveStrings.GetCount(), 1u);
    auto* first = static_cast<DisplayLine*>(saver.MonitorState(0).gActiveStrings.GetAt(0));
    auto* second = static_cast<DisplayLine*>(saver.MonitorState(1).gActiveStrings.GetAt(0));
    first->iSpeed = second->iSpeed = 1;
    for (int frame = 0; frame < 300; ++frame) Frame();
    EXPECT_TRUE(first->hidden);
    EXPECT_FALSE(second->hidden);
    EXPECT_EQ(CountOf(u"Monitor 2: WM_TIMER,ID_FRAMETIMER Recall: line at x=300 shows its translation, 70 pixels "
                      u"wide"),
              1u);
    for (int frame = 0; frame < 200; ++frame) Frame();
    EXPECT_FALSE(first->hidden);
    EXPECT_EQ(CountOf(u"Monitor 1: WM_TIMER,ID_FRAMETIMER Recall: line at x=500 shows its translation, 70 pixels "
                      u"wide"),
              1u);
}

// Monitors in the window's coordinates, the primary first.
struct Layout {
    const char* name;
    std::vector<Rect> monitors;
};

class MonitorFrames : public SaverFixture, public ::testing::WithParamInterface<Layout> {
protected:
    void SetUp() override {
        surface.monitors = GetParam().monitors;
        Rect covered;
        for (const Rect& m : surface.monitors) covered = Bound(covered, Rect{0, 0, m.Right(), m.Bottom()});
        surface.width = covered.cx; // the window
        surface.height = covered.cy;
        surface.unitWidth = 6;
        surface.textHeight = 14;
        surface.pixels = true;
        surface.ink = [](FontKind, TextSize s, std::u16string_view) { return Rect{-3, 0, s.cx + 7, s.cy}; };
        stored.gLogoEnabled = true;
        stored.dwMaxShowStrings = 3;
        stored.lf.lfHeight = -14;
        logOn = false;
    }
};

// Lines enter at their monitor's right edge and leave past its left, where
// another monitor may lie: after every frame each monitor holds its own frame
// alone and nothing is drawn where no monitor is.
TEST_P(MonitorFrames, EveryMonitorShowsItsOwnWordsAndNothingStrays) {
    const std::vector<Rect>& monitors = GetParam().monitors;
    const size_t n = monitors.size();
    dayTexts = 9;
    const std::vector<std::u16string> texts{u"alpha", u"beta gamma", u"delta",     u"epsilon zeta", u"eta",
                                            u"theta iota", u"kappa",   u"lambda mu", u"nu xi",        u"Company",
                                            u""};
    Create(texts, u"news of the day");
    std::vector<std::set<std::u16string>> words(n);
    std::vector<size_t> logos(n), news(n);
    size_t leaves = 0;
    for (int frame = 0; frame < 1500; ++frame) {
        if (frame % 40 == 0) Turn();
        const size_t sent = surface.sentTurnTicks;
        const size_t before = surface.frames.size();
        Frame();
        leaves += surface.sentTurnTicks - sent;
        ASSERT_EQ(surface.frames.size(), before + n) << "one frame per monitor";
        const std::span<const fakes::RecordingSurface::Frame> shown(surface.frames.data() + before, n);
        const std::vector<uint32_t> alone = surface.ComposedAlone(shown, monitors);
        ASSERT_EQ(surface.windowPixels.size(), alone.size());
        const auto wrong = std::inner_product(alone.begin(), alone.end(), surface.windowPixels.begin(), size_t{0},
                                              std::plus<>(), std::not_equal_to<>());
        ASSERT_EQ(wrong, 0u) << "pixels unlike the frame composed alone, frame " << frame;
        ASSERT_EQ(surface.ChangedElsewhere(), 0u) << "frame " << frame;
        for (size_t m = 0; m < n; ++m) {
            for (const auto& t : shown[m].texts) {
                if (t.font == FontKind::News)
                    ++news[m];
                else
                    words[m].insert(t.text);
            }
            logos[m] += shown[m].logos.size();
        }
    }
    EXPECT_GT(leaves, 10u);
    for (size_t m = 0; m < n; ++m) {
        SCOPED_TRACE(m);
        std::set<std::u16string> dealt;
        for (size_t i = m; i < 9; i += n) dealt.insert(texts[i]);
        if (m == 0) dealt.insert(u"Company");
        EXPECT_FALSE(words[m].empty()) << "no words on monitor " << m;
        for (const auto& w : words[m]) EXPECT_EQ(dealt.count(w), 1u) << "not dealt to this monitor";
        EXPECT_EQ(logos[m] > 0, m == 0);
        EXPECT_EQ(news[m] > 0, m == 0);
        for (size_t o = m + 1; o < n; ++o)
            for (const auto& w : words[m]) EXPECT_EQ(words[o].count(w), 0u) << "on two monitors";
    }
    EXPECT_TRUE(words[0].count(u"Company"));
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, MonitorFrames,
    ::testing::Values(Layout{"SideBySide", {{0, 0, 320, 200}, {320, 0, 320, 200}}},
                      // the second at negative coordinates of the screen: left of the primary in the window
                      Layout{"SecondLeftOfThePrimary", {{320, 0, 320, 200}, {0, 0, 320, 200}}},
                      Layout{"Stacked", {{0, 200, 320, 200}, {0, 0, 320, 200}}},
                      Layout{"DifferentSizesWithAGap", {{240, 0, 320, 200}, {0, 40, 240, 160}}},
                      Layout{"Three", {{0, 0, 320, 200}, {320, 0, 320, 200}, {640, 50, 200, 150}}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tavelin
