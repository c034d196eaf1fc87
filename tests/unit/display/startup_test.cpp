// Start-up and shut-down of the saver window, the generator, and the dispatch.
#include <gtest/gtest.h>

#include "display/random.h"
#include "fakes/display_scripted_random.h"
#include "saver_fixture.h"

namespace tavelin {
namespace {

using testing::SaverFixture;
using StartupTest = SaverFixture;

TEST_F(StartupTest, FirstRunUsesTheDefaultFontSevenLinesAndBothTimers) {
    Create({u"alpha"});
    EXPECT_EQ(surface.lineFont.lfHeight, -50);
    EXPECT_EQ(std::u16string(surface.lineFont.lfFaceName), u"Times New Roman");
    EXPECT_EQ(surface.lineFont.lfWeight, 400);
    EXPECT_EQ(surface.lineFont.lfOutPrecision, 3);
    EXPECT_EQ(surface.lineFont.lfClipPrecision, 2);
    EXPECT_EQ(surface.lineFont.lfQuality, 1);
    EXPECT_EQ(surface.newsFont.lfHeight, -25);
    EXPECT_EQ(std::u16string(surface.newsFont.lfFaceName), u"Times New Roman");
    EXPECT_EQ(saver.settings.dwMaxShowStrings, 7u);
    EXPECT_EQ(CountOf(u"WM_CREATE Font Not Set!"), 1u);
    EXPECT_EQ(CountOf(u"WM_CREATE News Font Size Set To: -25"), 1u);
    EXPECT_EQ(surface.runningTimers, (std::map<uintptr_t, uint32_t>{{ID_FRAMETIMER, 50}, {ID_TURNTIMER, 3000}}));
    EXPECT_EQ(surface.bufferWidth, 1920);
    EXPECT_EQ(surface.bufferHeight, 1080);
    EXPECT_FALSE(surface.windowDcOpen);
    EXPECT_EQ(ActiveCount(), 0u);
}

TEST_F(StartupTest, StoredFontAndLimitAreUsedAsStored) {
    const struct {
        int32_t lfHeight, newsHeight;
        uint32_t stored, used;
    } cases[] = {{-15, -7, 1, 1}, {-51, -25, 0, 7}, {20, 10, 10, 10}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lfHeight);
        fakes::RecordingSurface s;
        fakes::FakeClock k;
        fakes::MemoryLogFile f;
        Log l{f, k};
        SaverSettings settings;
        settings.lf.lfHeight = c.lfHeight;
        settings.lf.lfItalic = 1;
        settings.dwMaxShowStrings = c.stored;
        SaverWindow w{s, s, k, l, SaverSteps{[&](SaverSettings& out, Log&) { out = settings; }, nullptr, nullptr}};
        w.Procedure(nullptr, msg::WM_CREATE, 0, 0);
        EXPECT_EQ(s.lineFont.lfHeight, c.lfHeight);
        EXPECT_EQ(s.lineFont.lfItalic, 1);
        EXPECT_EQ(s.newsFont.lfHeight, c.newsHeight);
        EXPECT_EQ(w.settings.dwMaxShowStrings, c.used);
    }
}

TEST_F(StartupTest, TextsBecomeQueuedLinesInOrderWithSeededColourAndSpeed) {
    clock.utcMilliseconds = 417;
    Create({u"alpha: one", u"beta: two", u"Company", u""});
    EXPECT_EQ(saver.display.messages.GetCount(), 0u);
    ASSERT_EQ(InactiveCount(), 4u);

    Lcg15 expected;
    expected.Seed(417);
    const std::u16string texts[] = {u"alpha: one", u"beta: two", u"Company", u""};
    for (uint32_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const DisplayLine* line = Inactive(i);
        EXPECT_EQ(std::u16string(line->pszText), texts[i]);
        EXPECT_EQ(line->cxPos, 1920);
        EXPECT_EQ(line->cyPos, 0);
        EXPECT_EQ(line->iScrollCount, 0);
        const int32_t red = RANDOMINRANGE(expected, 100, 255);
        const int32_t green = RANDOMINRANGE(expected, 100, 255);
        const int32_t blue = RANDOMINRANGE(expected, 100, 255);
        EXPECT_EQ(line->crText, static_cast<uint32_t>(red | green << 8 | blue << 16));
        EXPECT_EQ(line->iSpeed, RANDOMINRANGE(expected, 1, 4));
    }
    EXPECT_EQ(Inactive(0)->cxSize, 100); // 10 units at 10 pixels
    EXPECT_EQ(Inactive(0)->cySize, 50);
    EXPECT_EQ(Inactive(3)->cxSize, 75); // the logo: 1.5 lines of 50
    EXPECT_EQ(Inactive(3)->cySize, 75);
}

TEST_F(StartupTest, LogoPlaceholderIsOneAndAHalfLinesSquare) {
    const struct {
        std::optional<int32_t> tmHeight;
        int32_t side;
    } cases[] = {{40, 60}, {33, 49}, {std::nullopt, 32}};
    for (const auto& c : cases) {
        fakes::RecordingSurface s;
        s.textHeight = c.tmHeight;
        s.failMetrics = !c.tmHeight;
        fakes::ScriptedRandom random;
        char16_t* empty = DuplicateText(u"");
        DisplayLine* line = MAKEDISPLAYLINE(s, 800, empty, random);
        EXPECT_EQ(line->cxSize, c.side);
        EXPECT_EQ(line->cySize, c.side);
        EXPECT_EQ(line->cxPos, 800);
        ReleaseDisplayLine(line);
    }
}

TEST_F(StartupTest, NewsTextShortensTheScrollingBandUnlessTooTall) {
    const struct {
        int32_t lfHeight, cyClientScrolling, cyNewsPos;
    } cases[] = {{-60, 1046, 1048}, {-800, 1080, 678}, {-798, 1080 - 399 - 4, 1080 - 399 - 2}, {-1, 1080, 1078}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lfHeight);
        fakes::RecordingSurface s;
        fakes::FakeClock k;
        fakes::MemoryLogFile f;
        Log l{f, k};
        SaverWindow w{s, s, k, l,
                      SaverSteps{[&](SaverSettings& out, Log& lg) {
                                     out.lf.lfHeight = c.lfHeight;
                                     lg.gLogEnabled = true;
                                     lg.Open();
                                 },
                                 [](Group&, News& news) {
                                     news.gNewsString = std::u16string(50, u'n');
                                     news.gNewsSet = true;
                                 },
                                 nullptr}};
        w.Procedure(nullptr, msg::WM_CREATE, 0, 0);
        EXPECT_EQ(w.display.cyClientScrolling, c.cyClientScrolling);
        EXPECT_EQ(w.display.cyNewsPos, c.cyNewsPos);
        EXPECT_EQ(w.display.cxNewsPos, 1920);
        const auto messages = fakes::MemoryLogFile::Messages(*f.Only());
        EXPECT_NE(std::find(messages.begin(), messages.end(),
                            u"WM_CREATE News Global Variable is set, News String Length=50"),
                  messages.end());
    }
}

TEST(RandomTest, RandomInRangeSplitsTheValuesAsDocumented) {
    const struct {
        int32_t a, b, r, result;
    } cases[] = {{100, 255, 0, 100},   {100, 255, 211, 100}, {100, 255, 212, 101}, {100, 255, 32766, 254},
                 {100, 255, 32767, 255}, {1, 4, 10922, 1},   {1, 4, 10923, 2},     {1, 4, 32766, 3},
                 {1, 4, 32767, 4},      {2000, 10000, 16384, 6000}};
    for (const auto& c : cases) {
        fakes::ScriptedRandom random;
        random.script = {c.r};
        EXPECT_EQ(RANDOMINRANGE(random, c.a, c.b), c.result) << c.a << ".." << c.b << " r=" << c.r;
    }
}

TEST(RandomTest, GeneratorIsTheFifteenBitLinearCongruentialOne) {
    Lcg15 random;
    random.Seed(1);
    EXPECT_EQ(random.Next(), 41);
    EXPECT_EQ(random.Next(), 18467);
    EXPECT_EQ(random.Next(), 6334);
    random.Seed(0);
    EXPECT_EQ(random.Next(), 38);
}

TEST_F(StartupTest, OtherTimersDoNothingAndOtherMessagesGoToTheDefaultProcedure) {
    Create({u"alpha"});
    std::vector<std::tuple<WindowHandle, uint32_t, WParam, LParam>> seen;
    defaultProc = [&](WindowHandle w, uint32_t m, WParam wp, LParam lp) {
        seen.emplace_back(w, m, wp, lp);
        return LResult{77};
    };
    const auto before = Messages().size();
    EXPECT_EQ(saver.Procedure(kWindow, msg::WM_TIMER, 3, 0), 0);
    EXPECT_EQ(Messages().size(), before);
    EXPECT_EQ(surface.framesCopied, 0u);
    EXPECT_EQ(saver.Procedure(kWindow, msg::WM_PAINT, 5, -6), 77);
    EXPECT_EQ(saver.Procedure(kWindow, msg::WM_MOUSEMOVE, 0, 0x00100010), 77);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], std::make_tuple(kWindow, msg::WM_PAINT, WParam{5}, LParam{-6}));
}

TEST_F(StartupTest, DestroyReleasesEverythingWithOneLinePerItem) {
    Create({u"alpha", u"beta", u"gamma"});
    Turn();
    const size_t before = Messages().size();
    EXPECT_EQ(saver.Procedure(kWindow, msg::WM_DESTROY, 0, 0), 0);
    const auto all = Messages();
    const std::vector<std::u16string> tail(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
    EXPECT_EQ(tail, (std::vector<std::u16string>{
                        u"WM_DESTROY gActiveStrings(0), Attempting deletion...",
                        u"WM_DESTROY gInactiveStrings(0), Attempting deletion...",
                        u"WM_DESTROY gInactiveStrings(1), Attempting deletion...",
                        u"WM_DESTROY Range(0), Attempting deletion...",
                        u"WM_DESTROY Range(1), Attempting deletion...",
                        u"WM_DESTROY Clean Exit",
                    }));
    EXPECT_EQ(ActiveCount() + InactiveCount() + saver.display.gRanges.GetCount(), 0u);
    EXPECT_TRUE(surface.runningTimers.empty());
    EXPECT_EQ(surface.quitCode, 0);
    EXPECT_FALSE(surface.logo);
    EXPECT_FALSE(surface.backBuffer);
}

TEST_F(StartupTest, DestroyWithEmptyListsOnlySaysCleanExit) {
    Create({});
    const size_t before = Messages().size();
    saver.Procedure(kWindow, msg::WM_DESTROY, 0, 0);
    EXPECT_EQ(Messages().size(), before + 1);
    EXPECT_EQ(Messages().back(), u"WM_DESTROY Clean Exit");
}

TEST_F(StartupTest, MissingDrawingResourcesAreLoggedAndTheSaverStillRuns) {
    surface.failBackBuffer = true;
    surface.failLogo = true;
    Create({u"alpha"});
    EXPECT_EQ(CountOf(u"WM_CREATE ERROR Back buffer of 1920 x 1080 not created"), 1u);
    EXPECT_EQ(CountOf(u"WM_CREATE ERROR Logo bitmap 103 not loaded, nothing drawn in its place"), 1u);
    Turn();
    const int32_t x = Active(0)->cxPos;
    Frame();
    EXPECT_EQ(Active(0)->cxPos, x - Active(0)->iSpeed); // lines still move
    EXPECT_EQ(surface.framesCopied, 0u);
}

TEST_F(StartupTest, ARefusedQueueNodeDropsThatLineOnly) {
    struct Gate {
        int calls = 0;
        static bool Allow(void* c) { return ++static_cast<Gate*>(c)->calls != 2; }
    } gate;
    saver.display.gInactiveStrings.SetAllocationGate(&Gate::Allow, &gate);
    Create({u"one", u"two", u"three"});
    ASSERT_EQ(InactiveCount(), 2u);
    EXPECT_EQ(std::u16string(Inactive(0)->pszText), u"one");
    EXPECT_EQ(std::u16string(Inactive(1)->pszText), u"three");
}

} // namespace
} // namespace tavelin
