// The lane allocator against a scripted generator: placement, ordered inserts,
// refusals, the exact trace, and gRanges left whole when anything fails.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/log.h"
#include "fakes/display_scripted_random.h"
#include "fakes/fake_clock.h"
#include "fakes/memory_log_file.h"
#include "lane_test_support.h"
#include "lanes/lane_allocator.h"

namespace tavelin {
namespace {

using testing::Contents;
using testing::Fill;
using testing::Rows;

class LaneAllocatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        log.gLogEnabled = true;
        log.Open();
    }
    std::vector<std::u16string> Messages() { return fakes::MemoryLogFile::Messages(*files.Only()); }
    std::vector<std::u16string> MessagesFrom(size_t first) {
        auto all = Messages();
        return {all.begin() + static_cast<std::ptrdiff_t>(first), all.end()};
    }

    fakes::MemoryLogFile files;
    fakes::FakeClock clock;
    Log log{files, clock};
    fakes::ScriptedRandom random;
    LaneAllocator lanes{log, random};
    testing::OwnedRanges owned;
    Group& ranges = owned.group;
};

TEST_F(LaneAllocatorTest, FirstLaneAndItsReleaseWriteTheFullTrace) {
    random.script = {0, fakes::ValueForDraw(558, 279)};
    const size_t start = Messages().size();
    ASSERT_EQ(lanes.GETUNIQUEHEIGHT2(599, 40, ranges), 280);
    EXPECT_EQ(Contents(ranges), (std::vector<Rows>{{0, 279, 280}, {320, 599, 280}}));

    const std::u16string dump = u"GETUNIQUEHEIGHT2 *** RANGE GROUP DUMP *** (ordered with largest range first)";
    const std::u16string none = u"GETUNIQUEHEIGHT2 No elements in range group";
    const std::vector<std::u16string> get = {
        u"GETUNIQUEHEIGHT2",
        u"GETUNIQUEHEIGHT2 Passed in cySize=40",
        dump,
        none,
        u"GETUNIQUEHEIGHT2 Initialising Range Group with one large range",
        u"GETUNIQUEHEIGHT2 Initial Range: iTop=0, iBottom=599, iRange=600",
        u"GETUNIQUEHEIGHT2 Pulling Range(0),iRange=600,iTop=0,iBottom=599",
        u"GETUNIQUEHEIGHT2 Range(0),iRange=600, is greater than required size (41)",
        u"GETUNIQUEHEIGHT2 The number of acceptable ranges is now 1",
        u"GETUNIQUEHEIGHT2 Acceptable Ranges Found=1",
        u"GETUNIQUEHEIGHT2 Random Range Selected=0, iTop=0, iBottom=599",
        u"GETUNIQUEHEIGHT2 Random height in range chosen as 280",
        u"GETUNIQUEHEIGHT2 NewRangeAbove: iTop=0,iBottom=279,iRange=280",
        u"GETUNIQUEHEIGHT2 NewRangeBelow: iTop=320,iBottom=599,iRange=280",
        u"GETUNIQUEHEIGHT2 Attempting to delete old range.",
        u"GETUNIQUEHEIGHT2 Old range deleted.",
        u"GETUNIQUEHEIGHT2 Current Size of Ranges group=0",
        dump,
        none,
        u"GETUNIQUEHEIGHT2 (Special Case, 0 ranges at start) Attempting to add new range (above).",
        u"GETUNIQUEHEIGHT2 New Above Range added to empty gRanges group, Current Size of Ranges group=1",
        dump,
        u"GETUNIQUEHEIGHT2 Range(0),iRange=280,iTop=0,iBottom=279",
        u"GETUNIQUEHEIGHT2 New Below Range value=280",
        u"GETUNIQUEHEIGHT2 Range(0) value=280",
        u"GETUNIQUEHEIGHT2 Attempting to add new range (below) at index -1",
        u"GETUNIQUEHEIGHT2 New Below Range added successfully to gRanges group, Current Size of Ranges group=2",
        dump,
        u"GETUNIQUEHEIGHT2 Range(0),iRange=280,iTop=0,iBottom=279",
        u"GETUNIQUEHEIGHT2 Range(1),iRange=280,iTop=320,iBottom=599",
        u"GETUNIQUEHEIGHT2 Chosen cyPos=280 and cySize=40",
    };
    EXPECT_EQ(MessagesFrom(start), get);

    const size_t middle = Messages().size();
    ASSERT_TRUE(lanes.REMOVEUNIQUEHEIGHT(ranges, 280, 40));
    EXPECT_EQ(Contents(ranges), (std::vector<Rows>{{0, 599, 600}}));
    const std::vector<std::u16string> remove = {
        u"REMOVEUNIQUEHEIGHT To Remove: cyPos=280 and cySize=40",
        u"REMOVEUNIQUEHEIGHT Search ranges for the ranges ABOVE this string...",
        u"REMOVEUNIQUEHEIGHT Range(0),iRange=280,iTop=0,iBottom=279",
        u"REMOVEUNIQUEHEIGHT Found ABOVE: Range(0),iRange=280,iTop=0,iBottom=279",
        u"REMOVEUNIQUEHEIGHT Range(1),iRange=280,iTop=320,iBottom=599",
        u"REMOVEUNIQUEHEIGHT Range Above: iTop=0, iBottom=279, iRange=280",
        u"REMOVEUNIQUEHEIGHT Attempting to delete range above...",
        u"REMOVEUNIQUEHEIGHT Range above deleted",
        u"REMOVEUNIQUEHEIGHT Search ranges for the ranges BELOW this string...",
        u"REMOVEUNIQUEHEIGHT Range(0),iRange=280,iTop=320,iBottom=599",
        u"REMOVEUNIQUEHEIGHT Found BELOW: Range(0),iRange=280,iTop=320,iBottom=599",
        u"REMOVEUNIQUEHEIGHT Range Below: iTop=320, iBottom=599, iRange=280",
        u"REMOVEUNIQUEHEIGHT Attempting to delete range Below...",
        u"REMOVEUNIQUEHEIGHT Range Below deleted",
        u"REMOVEUNIQUEHEIGHT New Range created: iTop=0, iBottom=599, iRange=600",
        u"REMOVEUNIQUEHEIGHT (Special Case, 0 ranges) Attempting to add new range.",
        u"REMOVEUNIQUEHEIGHT New Range added to empty gRanges group, Current Size of Ranges group=1",
        u"REMOVEUNIQUEHEIGHT *** RANGE GROUP DUMP *** (ordered with largest range first)",
        u"REMOVEUNIQUEHEIGHT Range(0),iRange=600,iTop=0,iBottom=599",
        u"REMOVEUNIQUEHEIGHT To Remove: cyPos=280 and cyCurrentSize=40",
    };
    EXPECT_EQ(MessagesFrom(middle), remove);
}

TEST_F(LaneAllocatorTest, TraceIsComposedButNotWrittenWithTheLogOff) {
    log.gLogEnabled = false;
    const size_t before = Messages().size();
    EXPECT_EQ(lanes.GETUNIQUEHEIGHT2(99, 10, ranges), 1);
    EXPECT_EQ(Messages().size(), before);
}

struct FitCase {
    int32_t rows;   // one free range 100..100+rows-1
    int32_t cySize;
    int32_t draw;   // value of the row draw
    int32_t cyPos;  // expected; -1 for none
};

TEST_F(LaneAllocatorTest, PlacesStrictlyInsideTheRangeOrRefuses) {
    const FitCase cases[] = {
        {42, 40, 0, 101},       // cySize + 2: only iTop + 1
        {41, 40, 0, -1},        // cySize + 1: refused
        {100, 10, 32767, 189},  // the top draw reaches iBottom - cySize
        {100, 10, 0, 101},
        {3, 1, 32767, 101},
    };
    for (const FitCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << "rows=" << c.rows << " cySize=" << c.cySize);
        testing::OwnedRanges local;
        Fill(local.group, {{100, 100 + c.rows - 1}});
        const auto before = Contents(local.group);
        random.script = {0, c.draw};
        const int32_t cyPos = lanes.GETUNIQUEHEIGHT2(9999, c.cySize, local.group);
        EXPECT_EQ(cyPos, c.cyPos);
        if (cyPos == -1) {
            EXPECT_EQ(Contents(local.group), before);
            continue;
        }
        const int32_t bottom = 100 + c.rows - 1;
        auto rows = Contents(local.group);
        std::sort(rows.begin(), rows.end());
        EXPECT_EQ(rows, (std::vector<Rows>{{100, cyPos - 1, cyPos - 100},
                                           {cyPos + c.cySize, bottom, bottom - cyPos - c.cySize + 1}}));
    }
}

TEST_F(LaneAllocatorTest, RangeDrawPicksOnlyAmongAcceptableRanges) {
    Fill(ranges, {{0, 99}, {200, 289}, {400, 419}});
    random.script = {32767, 0}; // the top draw of 2 is limited to position 1
    EXPECT_EQ(lanes.GETUNIQUEHEIGHT2(999, 30, ranges), 201);
    EXPECT_EQ(ranges.GetCount(), 4u);
    const auto messages = Messages();
    EXPECT_NE(std::find(messages.begin(), messages.end(), u"GETUNIQUEHEIGHT2 Acceptable Ranges Found=2"),
              messages.end());
}

TEST_F(LaneAllocatorTest, MergedRangeGoesBehindRangesOfEqualSize) {
    // 300, 200, 200, then the neighbours (100 and 60) of a band, then 50.
    Fill(ranges, {{0, 299}, {400, 599}, {700, 899}, {1200, 1299}, {1100, 1159}, {2000, 2049}});
    ASSERT_TRUE(lanes.REMOVEUNIQUEHEIGHT(ranges, 1160, 40));
    EXPECT_EQ(Contents(ranges), (std::vector<Rows>{{0, 299, 300},
                                                   {400, 599, 200},
                                                   {700, 899, 200},
                                                   {1100, 1299, 200},
                                                   {2000, 2049, 50}}));
    const auto messages = Messages();
    EXPECT_NE(std::find(messages.begin(), messages.end(), u"REMOVEUNIQUEHEIGHT Attempting to add new range at index 3"),
              messages.end());
}

TEST_F(LaneAllocatorTest, ReleaseWithAMissingNeighbourChangesNothing) {
    Fill(ranges, {{0, 279}, {320, 599}});
    const auto before = Contents(ranges);

    EXPECT_FALSE(lanes.REMOVEUNIQUEHEIGHT(ranges, 281, 39)); // nothing ends at row 280
    EXPECT_EQ(Contents(ranges), before);
    EXPECT_EQ(Messages().back(), u"REMOVEUNIQUEHEIGHT ERROR Failed to find range above, returning FALSE");

    EXPECT_FALSE(lanes.REMOVEUNIQUEHEIGHT(ranges, 280, 30)); // above found, nothing starts at 310
    EXPECT_EQ(Contents(ranges), before);
    EXPECT_EQ(Messages().back(),
              u"REMOVEUNIQUEHEIGHT ERROR Failed to find range below, range above put back, returning FALSE");
}

TEST_F(LaneAllocatorTest, NoRowsToScrollInIsRefused) {
    EXPECT_EQ(lanes.GETUNIQUEHEIGHT2(-25, 10, ranges), -1);
    EXPECT_EQ(ranges.GetCount(), 0u);
}

struct Gate {
    int failAt;
    int calls = 0;
    static bool Allow(void* context) {
        auto* gate = static_cast<Gate*>(context);
        return ++gate->calls != gate->failAt;
    }
};

TEST_F(LaneAllocatorTest, RefusedNodesLeaveTheRangesAsTheyWere) {
    // Adds of a split: range above, range below. Of a merge: the merged range.
    for (int failAt = 1; failAt <= 2; ++failAt) {
        SCOPED_TRACE(failAt);
        testing::OwnedRanges local;
        Fill(local.group, {{0, 279}, {320, 599}});
        const auto before = Contents(local.group);
        Gate gate{failAt};
        local.group.SetAllocationGate(&Gate::Allow, &gate);
        random.script = {0, 100};
        EXPECT_EQ(lanes.GETUNIQUEHEIGHT2(599, 40, local.group), -1);
        EXPECT_EQ(Contents(local.group), before);
    }
    {
        Gate gate{1};
        ranges.SetAllocationGate(&Gate::Allow, &gate);
        EXPECT_EQ(lanes.GETUNIQUEHEIGHT2(599, 40, ranges), -1); // the initial range itself
        EXPECT_EQ(ranges.GetCount(), 0u);
    }
    testing::OwnedRanges merge;
    Fill(merge.group, {{0, 279}, {320, 599}, {1000, 1009}});
    const auto before = Contents(merge.group);
    Gate gate{1};
    merge.group.SetAllocationGate(&Gate::Allow, &gate);
    EXPECT_FALSE(lanes.REMOVEUNIQUEHEIGHT(merge.group, 280, 40));
    EXPECT_EQ(Contents(merge.group), before);
}

} // namespace
} // namespace tavelin
