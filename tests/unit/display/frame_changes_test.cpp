// What a frame clears, puts and copies: after every frame the window holds the
// frame composed alone, pictures are kept once per entry and dropped on leaving.
#include <gtest/gtest.h>

#include "display/rect.h"
#include "saver_fixture.h"

namespace tavelin {
namespace {

using testing::SaverFixture;

TEST(RectTest, SubtractLeavesThePartsOutsideTheOther) {
    struct Case {
        Rect a, b;
        std::vector<Rect> parts;
    } cases[] = {
        {{10, 10, 50, 20}, {8, 10, 50, 20}, {{58, 10, 2, 20}}},            // moved left by 2
        {{10, 10, 50, 20}, {10, 10, 50, 20}, {}},                           // unmoved
        {{10, 10, 50, 20}, {100, 10, 50, 20}, {{10, 10, 50, 20}}},          // apart
        {{0, 0, 10, 10}, {2, 2, 6, 6}, {{0, 0, 10, 2}, {0, 8, 10, 2}, {0, 2, 2, 6}, {8, 2, 2, 6}}},
        {{0, 0, 0, 10}, {0, 0, 5, 5}, {}},                                  // empty
        {{5, 5, 10, 10}, {0, 0, 30, 30}, {}},                               // covered
        // a monitor left of or above the primary: the screen's coordinates are negative there
        {{-1280, -5, 50, 20}, {-1282, -5, 50, 20}, {{-1232, -5, 2, 20}}},
        {{-30, -30, 40, 40}, {0, 0, 100, 100}, {{-30, -30, 40, 30}, {-30, 0, 30, 10}}},
    };
    for (const Case& c : cases) {
        Rect out[4];
        const int n = Subtract(c.a, c.b, out);
        EXPECT_EQ(std::vector<Rect>(out, out + n), c.parts);
    }
    EXPECT_EQ(Bound(Rect{0, 0, 5, 5}, Rect{}), (Rect{0, 0, 5, 5}));
    EXPECT_EQ(Bound(Rect{0, 0, 5, 5}, Rect{10, 2, 5, 5}), (Rect{0, 0, 15, 7}));
    EXPECT_TRUE(Intersect(Rect{0, 0, 5, 5}, Rect{5, 0, 5, 5}).Empty());
    EXPECT_EQ(Intersect(Rect{-1280, 0, 1280, 720}, Rect{-10, 5, 20, 5}), (Rect{-10, 5, 10, 5}));
    EXPECT_EQ(Bound(Rect{-1280, -720, 5, 5}, Rect{0, 0, 5, 5}), (Rect{-1280, -720, 1285, 725}));
}

struct InkCase {
    const char* name;
    Rect (*ink)(FontKind, TextSize, std::u16string_view);
    int32_t escapement;
    bool direct; // every frame composed whole, texts drawn directly
    bool recall = false;
};

Rect Box(FontKind, TextSize s, std::u16string_view) { return Rect{0, 0, s.cx, s.cy}; }
Rect Slanted(FontKind, TextSize s, std::u16string_view) { return Rect{-3, 0, s.cx + 7, s.cy}; }
Rect Narrow(FontKind, TextSize s, std::u16string_view) { return Rect{2, 3, s.cx - 5, s.cy - 6}; }
Rect Tall(FontKind, TextSize s, std::u16string_view) { return Rect{0, -2, s.cx, s.cy + 2}; }

class FrameChanges : public SaverFixture, public ::testing::WithParamInterface<InkCase> {
protected:
    void SetUp() override {
        surface.width = 320;
        surface.height = 200;
        surface.unitWidth = 6;
        surface.textHeight = 14;
        surface.pixels = true;
        surface.keepFrames = false;
        surface.ink = GetParam().ink;
        stored.gLogoEnabled = true;
        stored.dwMaxShowStrings = 5;
        stored.lf.lfHeight = -14;
        stored.lf.lfEscapement = GetParam().escapement;
        stored.gRecallEnabled = GetParam().recall;
        logOn = false;
    }
    void ExpectWindowIsTheFrameAlone(int frame) {
        ASSERT_EQ(surface.DisplayPixels(), surface.ComposedAlone()) << "frame " << frame;
        ASSERT_EQ(surface.ChangedElsewhere(), 0u) << "frame " << frame << ": drawn beyond the display";
    }
    // Lines come and go for 1500 frames; the window is checked after each.
    struct Run {
        size_t leaves = 0, changedArea = 0, frames = 0, reveals = 0;
    };
    Run RunLinesComingAndGoing() {
        if (GetParam().recall)
            Create({u"alpha:a", u"beta:gamma", u"delta", u"", u"eps:zeta eta", u"theta:t", u"iota:kappa"}, u"the news");
        else
            Create({u"alpha", u"beta gamma", u"delta", u"", u"epsilon zeta eta", u"theta", u"iota kappa"},
                   u"news of the day");
        Run run;
        std::vector<const DisplayLine*> hidden;
        for (int frame = 0; frame < 1500; ++frame) {
            if (frame % 40 == 0) Turn();
            const size_t sent = surface.sentTurnTicks;
            hidden.clear();
            for (uint32_t i = 0; i < ActiveCount(); ++i)
                if (Active(i)->hidden) hidden.push_back(Active(i));
            Frame();
            for (const DisplayLine* line : hidden) run.reveals += !line->hidden;
            run.leaves += surface.sentTurnTicks - sent;
            EXPECT_NO_FATAL_FAILURE(ExpectWindowIsTheFrameAlone(frame));
            if (::testing::Test::HasFatalFailure()) return run;
            EXPECT_LE(surface.pictures.size(), ActiveCount() + 1);
            for (const Rect& r : surface.Last().changed) run.changedArea += static_cast<size_t>(r.cx) * r.cy;
            ++run.frames;
            if (frame == 750) { // something else drew on the window, which is told to paint
                for (int32_t y = 0; y < 16; ++y)
                    std::fill_n(surface.windowPixels.begin() + y * surface.WindowWidth(), 320, 0x123456u);
                saver.Procedure(kWindow, msg::WM_PAINT, 0, 0);
            }
        }
        return run;
    }
};

TEST_P(FrameChanges, WindowHoldsEachFrameAloneWhileLinesComeAndGo) {
    const Run run = RunLinesComingAndGoing();
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_GT(run.leaves, 10u);
    if (GetParam().recall) {
        EXPECT_GT(run.reveals, 10u);
    }
    const size_t screenArea = 320u * 200u;
    if (GetParam().direct) {
        if (GetParam().escapement != 0) {
            EXPECT_EQ(surface.keeps, 0u); // nothing kept for a turned font
        }
        EXPECT_EQ(run.changedArea, run.frames * screenArea);
    } else {
        // One picture per entry on the screen and per reveal, and the news once.
        EXPECT_EQ(surface.keeps, surface.drops + surface.pictures.size() + run.reveals);
        EXPECT_LE(surface.keeps, run.leaves + run.reveals + 1 + 5 + 1);
        EXPECT_LT(run.changedArea, run.frames * screenArea / 3);
    }
}

// The window covers every monitor; lines enter from beyond the display's
// right edge, which on a second monitor there is on screen.
TEST_P(FrameChanges, NothingReachesTheWindowBeyondTheDisplay) {
    surface.windowWidth = 2 * 320;  // a monitor to the right
    surface.windowHeight = 200 + 60; // and a taller one
    RunLinesComingAndGoing();
}

INSTANTIATE_TEST_SUITE_P(Inks, FrameChanges,
                         ::testing::Values(InkCase{"Box", Box, 0, false}, InkCase{"Slanted", Slanted, 0, false},
                                           InkCase{"Narrow", Narrow, 0, false}, InkCase{"Tall", Tall, 0, true},
                                           InkCase{"Turned", Box, 900, true},
                                           InkCase{"BoxRecall", Box, 0, false, true},
                                           InkCase{"SlantedRecall", Slanted, 0, false, true}),
                         [](const auto& info) { return std::string(info.param.name); });

using FrameCopies = SaverFixture;

TEST_F(FrameCopies, WholeFrameFirstAndAfterAPaintOrADisplayChangeOtherwiseOnlyWhatMoved) {
    stored.gLogoEnabled = true;
    Create({u"one", u"two"}, u"the news");
    Turn();
    Turn();
    const Rect screen{0, 0, 1920, 1080};
    Frame();
    ASSERT_EQ(surface.Last().changed, std::vector<Rect>{screen});
    Frame();
    const auto& steady = surface.Last().changed;
    ASSERT_EQ(steady.size(), 3u); // two lines and the ticker
    for (const Rect& r : steady) EXPECT_LT(r.cx, 200);
    for (uint32_t message : {msg::WM_PAINT, msg::WM_DISPLAYCHANGE, msg::WM_ERASEBKGND}) {
        saver.Procedure(kWindow, message, 0, 0);
        Frame();
        EXPECT_EQ(surface.Last().changed, std::vector<Rect>{screen}) << message;
        Frame();
        EXPECT_EQ(surface.Last().changed.size(), 3u) << message;
    }
    // A line moved by 3 clears the 3 columns it left and copies old and new place.
    DisplayLine* line = Active(0);
    line->cxPos = 503;
    Frame();
    line->iSpeed = 3;
    const int32_t x = line->cxPos;
    Frame();
    const Rect now{x - 3, line->cyPos, line->cxSize, line->cySize};
    EXPECT_NE(std::find(surface.Last().cleared.begin(), surface.Last().cleared.end(),
                        Rect{now.Right(), now.y, 3, now.cy}),
              surface.Last().cleared.end());
    EXPECT_NE(std::find(surface.Last().changed.begin(), surface.Last().changed.end(),
                        Rect{now.x, now.y, now.cx + 3, now.cy}),
              surface.Last().changed.end());
}

TEST_F(FrameCopies, APictureThatCannotBeKeptIsDrawnDirectlyInAWholeFrame) {
    surface.failKeep = true;
    Create({u"one"});
    Turn();
    for (int i = 0; i < 3; ++i) {
        Frame();
        EXPECT_EQ(surface.Last().changed, std::vector<Rect>{(Rect{0, 0, 1920, 1080})});
        EXPECT_EQ(surface.Last().puts, 0u);
        ASSERT_NE(surface.Drawn(u"one"), nullptr);
    }
    EXPECT_EQ(surface.keeps, 1u); // tried once, not every frame
}

} // namespace
} // namespace tavelin
