// Thousands of frame and turn ticks over many seeds, display heights, line
// heights and limits: lines on screen never touch, and the free ranges and the
// bands always tile the scrolling band exactly.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "core/text.h"
#include "display/saver_window.h"
#include "display/timer_ids.h"
#include "fakes/fake_clock.h"
#include "fakes/recording_surface.h"
#include "lanes/range.h"

namespace tavelin {
namespace {

// Counts the log lines that mark a reset and a queueing, without keeping the log.
class CountingLogFile : public LogFile {
public:
    size_t resets = 0, deactivations = 0;
    LogFileHandle Create(std::u16string_view) override { return this; }
    bool Append(LogFileHandle, const void* bytes, size_t count) override {
        const auto* p = static_cast<const unsigned char*>(bytes);
        line_.clear();
        for (size_t i = 0; i + 1 < count; i += 2) line_ += static_cast<char16_t>(p[i] | p[i + 1] << 8);
        if (line_.find(u"is resetting for scrolling.") != std::u16string::npos) ++resets;
        if (line_.find(u"DEACTIVATE Function called.") != std::u16string::npos) ++deactivations;
        return true;
    }

private:
    std::u16string line_;
};

struct Case {
    uint16_t seed;
    int32_t rows;
    uint32_t maxShow;
};

std::vector<Case> Cases() {
    std::vector<Case> cases;
    const int32_t rows[] = {1, 3, 61, 600, 10000};
    for (uint16_t seed = 1; seed <= 6; ++seed)
        for (int32_t r : rows) cases.push_back(Case{seed, r, static_cast<uint32_t>((seed * 7 + r) % 10 + 1)});
    return cases;
}

class LanesProperty : public ::testing::TestWithParam<Case> {
protected:
    void CheckInvariants(size_t lineCount) {
        DisplayState& d = saver.display;
        std::set<const DisplayLine*> seen;
        std::vector<std::pair<int64_t, int64_t>> pieces; // [top, bottom] of bands and ranges
        for (uint32_t i = 0; i < d.gActiveStrings.GetCount(); ++i) {
            const auto* line = static_cast<DisplayLine*>(d.gActiveStrings.GetAt(i));
            ASSERT_TRUE(seen.insert(line).second) << "a line is twice on the lists";
            ASSERT_GE(line->cyPos, 1);
            ASSERT_LE(line->cyPos + line->cySize - 1, d.cyClientScrolling - 2);
            pieces.emplace_back(line->cyPos, line->cyPos + line->cySize - 1);
        }
        for (uint32_t i = 0; i < d.gInactiveStrings.GetCount(); ++i) {
            const auto* line = static_cast<DisplayLine*>(d.gInactiveStrings.GetAt(i));
            ASSERT_TRUE(seen.insert(line).second) << "a line is twice on the lists";
            ASSERT_EQ(line->cyPos, 0);
        }
        ASSERT_EQ(seen.size(), lineCount);

        if (d.gRanges.GetCount() == 0) {
            ASSERT_EQ(d.gActiveStrings.GetCount(), 0u);
            return;
        }
        ASSERT_EQ(d.gRanges.GetCount(), d.gActiveStrings.GetCount() + 1);
        int32_t previous = INT32_MAX;
        for (uint32_t i = 0; i < d.gRanges.GetCount(); ++i) {
            const auto* r = static_cast<Range*>(d.gRanges.GetAt(i));
            ASSERT_GE(r->iRange, 1);
            ASSERT_EQ(r->iRange, r->iBottom - r->iTop + 1);
            ASSERT_LE(r->iRange, previous) << "ranges out of order";
            previous = r->iRange;
            pieces.emplace_back(r->iTop, r->iBottom);
        }
        // Ranges and bands alternate and tile rows 0..cyClientScrolling-1.
        std::sort(pieces.begin(), pieces.end());
        int64_t next = 0;
        for (const auto& [top, bottom] : pieces) {
            ASSERT_EQ(top, next) << "gap or overlap at row " << next;
            next = bottom + 1;
        }
        ASSERT_EQ(next, d.cyClientScrolling);
    }

    fakes::RecordingSurface surface;
    fakes::FakeClock clock;
    CountingLogFile files;
    Log log{files, clock};
    std::vector<std::u16string> texts;
    Case c = GetParam();
    SaverWindow saver{surface, surface, clock, log,
                      SaverSteps{[this](SaverSettings& s, Log& l) {
                                     s.dwMaxShowStrings = c.maxShow;
                                     s.gLogoEnabled = true;
                                     l.gLogEnabled = true;
                                     l.Open();
                                 },
                                 [this](Group& messages, News&) {
                                     for (const auto& t : texts) messages.Add(DuplicateText(t));
                                 },
                                 nullptr}};
};

TEST_P(LanesProperty, LinesNeverTouchAndTheBandIsTiledExactly) {
    surface.width = 160; // narrow, so lines leave often
    surface.height = c.rows;
    surface.keepFrames = false;
    surface.window = [this](WindowHandle w, uint32_t m, WParam wp, LParam lp) { return saver.Procedure(w, m, wp, lp); };
    static constexpr int32_t kHeights[] = {1, 7, 20, 33, 50, 120, 1500};
    const bool tiny = c.rows <= 3; // only one-row lines can fit
    surface.measure = [tiny](FontKind, std::u16string_view text) {
        return TextSize{static_cast<int32_t>(text.size()) * 9, tiny ? 1 : kHeights[text.size() % 7]};
    };
    clock.utcMilliseconds = c.seed;
    const size_t lineCount = 4 + c.seed * 2;
    for (size_t i = 0; i < lineCount - 1; ++i) texts.push_back(std::u16string(i + 1, u'x'));
    texts.push_back(u""); // the logo placeholder
    saver.Procedure(nullptr, msg::WM_CREATE, 0, 0);

    uint64_t now = 0, turnDue = kFirstTurnInterval;
    uint32_t mostOnScreen = 0;
    for (int frame = 0; frame < 4000; ++frame) {
        surface.timerEvents.clear();
        const size_t ticksBefore = surface.sentTurnTicks, resetsBefore = files.resets,
                     queuedBefore = files.deactivations;
        now += kFrameInterval;
        saver.Procedure(nullptr, msg::WM_TIMER, ID_FRAMETIMER, 0);
        const size_t nested = surface.sentTurnTicks - ticksBefore;
        ASSERT_EQ(files.resets - resetsBefore, nested) << "frame " << frame;
        ASSERT_EQ(files.deactivations - queuedBefore, nested) << "frame " << frame;
        if (now >= turnDue) saver.Procedure(nullptr, msg::WM_TIMER, ID_TURNTIMER, 0);
        for (const auto& event : surface.timerEvents)
            if (event.started && event.id == ID_TURNTIMER) turnDue = now + event.milliseconds;
        CheckInvariants(lineCount);
        mostOnScreen = std::max(mostOnScreen, saver.display.gActiveStrings.GetCount());
        if (HasFatalFailure()) FAIL() << "seed " << c.seed << " rows " << c.rows << " frame " << frame;
    }
    // The run must have exercised the allocator: a 1-row band holds nothing,
    // a 3-row band one line at most.
    if (c.rows == 1) {
        EXPECT_EQ(mostOnScreen, 0u);
    } else if (c.rows == 3) {
        EXPECT_EQ(mostOnScreen, 1u);
    } else {
        EXPECT_GE(mostOnScreen, 1u);
        EXPECT_LE(mostOnScreen, c.maxShow);
    }
    if (c.rows == 10000 && c.maxShow > 1) {
        EXPECT_GE(mostOnScreen, 2u);
    }
    saver.Procedure(nullptr, msg::WM_DESTROY, 0, 0);
}

INSTANTIATE_TEST_SUITE_P(Seeds, LanesProperty, ::testing::ValuesIn(Cases()), [](const auto& info) {
    return "seed" + std::to_string(info.param.seed) + "_rows" + std::to_string(info.param.rows) + "_max" +
           std::to_string(info.param.maxShow);
});

} // namespace
} // namespace tavelin
