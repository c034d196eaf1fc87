// GETUNIQUEHEIGHT2: a random free lane for a line of a given height.
#include <algorithm>
#include <new>

#include "lanes/lane_allocator.h"
#include "lanes/range_group.h"

namespace tavelin {
namespace {

using namespace lanes_detail;

constexpr std::u16string_view kNoElements = u"GETUNIQUEHEIGHT2 No elements in range group";

// The single range covering rows 0..iMaxBottom; false when it cannot be made.
bool Initialise(Log& log, Group& gRanges, int32_t iMaxBottom) {
    log.Write(u"GETUNIQUEHEIGHT2 Initialising Range Group with one large range");
    // Refused before the range is made, so its log has no "Initial Range" and no
    // "No Acceptable Range" line: a range of zero or fewer rows would break the
    // rule that every free range holds a row, and could never be used anyway.
    // The result is the same -1; the group stays empty and asks again next time.
    if (iMaxBottom < 0) {
        log.Write(u"GETUNIQUEHEIGHT2 ERROR No rows to scroll in, iMaxBottom=%d", iMaxBottom);
        return false;
    }
    std::unique_ptr<Range> initial(new (std::nothrow) Range{0, iMaxBottom, 0});
    if (initial == nullptr) {
        log.Write(u"GETUNIQUEHEIGHT2 ERROR Initial range could not be created");
        return false;
    }
    // iMaxBottom + 1 cannot overflow: a band of 2^31 rows is no display.
    initial->iRange = static_cast<int32_t>(static_cast<int64_t>(iMaxBottom) + 1);
    log.Write(u"GETUNIQUEHEIGHT2 Initial Range: iTop=%d, iBottom=%d, iRange=%d", initial->iTop, initial->iBottom,
              initial->iRange);
    if (!PutBack(gRanges, initial, Group::kAppend)) {
        log.Write(u"GETUNIQUEHEIGHT2 ERROR Initial range could not be added");
        return false;
    }
    return true;
}

// Positions 0..A-1 hold every range with more than cySize + 1 rows.
int32_t CountAcceptable(Log& log, Group& gRanges, int32_t cySize) {
    const int64_t needed = static_cast<int64_t>(cySize) + 1;
    int32_t acceptable = 0;
    for (uint32_t i = 0; i < gRanges.GetCount(); ++i) {
        const Range* r = RangeAt(gRanges, i);
        log.Write(u"GETUNIQUEHEIGHT2 Pulling Range(%d),iRange=%d,iTop=%d,iBottom=%d", static_cast<int32_t>(i),
                  r->iRange, r->iTop, r->iBottom);
        if (r->iRange <= needed) break;
        ++acceptable;
        log.Write(u"GETUNIQUEHEIGHT2 Range(%d),iRange=%d, is greater than required size (%d)", static_cast<int32_t>(i),
                  r->iRange, static_cast<int32_t>(needed));
        log.Write(u"GETUNIQUEHEIGHT2 The number of acceptable ranges is now %d", acceptable);
    }
    return acceptable;
}

// Undoes a half-done split: the old range goes back to its position.
int32_t Restore(Log& log, Group& gRanges, std::unique_ptr<Range>& old, uint32_t position) {
    const Range copy = *old;
    if (PutBack(gRanges, old, position))
        log.Write(u"GETUNIQUEHEIGHT2 ERROR Split failed, Range(%d) restored: iTop=%d, iBottom=%d, returning -1",
                  static_cast<int32_t>(position), copy.iTop, copy.iBottom);
    else
        log.Write(u"GETUNIQUEHEIGHT2 ERROR Split failed and range iTop=%d, iBottom=%d could not be restored",
                  copy.iTop, copy.iBottom);
    return -1;
}

} // namespace

int32_t LaneAllocator::GETUNIQUEHEIGHT2(int32_t iMaxBottom, int32_t cySize, Group& gRanges) {
    log_.Write(u"GETUNIQUEHEIGHT2");
    log_.Write(u"GETUNIQUEHEIGHT2 Passed in cySize=%d", cySize);
    Dump<GetTexts>(log_, gRanges, kNoElements);
    if (gRanges.GetCount() == 0 && !Initialise(log_, gRanges, iMaxBottom)) return -1;
    if (cySize < 0) {
        log_.Write(u"GETUNIQUEHEIGHT2 ERROR cySize=%d is no height, returning -1", cySize);
        return -1;
    }

    const int32_t acceptable = CountAcceptable(log_, gRanges, cySize);
    if (acceptable == 0) {
        log_.Write(u"GETUNIQUEHEIGHT2 No Acceptable Range found for new string, returning -1");
        return -1;
    }
    log_.Write(u"GETUNIQUEHEIGHT2 Acceptable Ranges Found=%d", acceptable);

    const uint32_t m = static_cast<uint32_t>(std::min(DrawOf(random_.Next(), acceptable), acceptable - 1));
    const Range chosen = *RangeAt(gRanges, m);
    log_.Write(u"GETUNIQUEHEIGHT2 Random Range Selected=%d, iTop=%d, iBottom=%d", static_cast<int32_t>(m),
               chosen.iTop, chosen.iBottom);
    const int32_t cyPos = chosen.iTop + 1 + DrawOf(random_.Next(), chosen.iRange - cySize - 2);
    log_.Write(u"GETUNIQUEHEIGHT2 Random height in range chosen as %d", cyPos);

    std::unique_ptr<Range> above(new (std::nothrow) Range{chosen.iTop, cyPos - 1, cyPos - chosen.iTop});
    std::unique_ptr<Range> below(
        new (std::nothrow) Range{cyPos + cySize, chosen.iBottom, chosen.iBottom - (cyPos + cySize) + 1});
    if (above == nullptr || below == nullptr) {
        log_.Write(u"GETUNIQUEHEIGHT2 ERROR New ranges could not be created, returning -1");
        return -1;
    }
    log_.Write(u"GETUNIQUEHEIGHT2 NewRangeAbove: iTop=%d,iBottom=%d,iRange=%d", above->iTop, above->iBottom,
               above->iRange);
    log_.Write(u"GETUNIQUEHEIGHT2 NewRangeBelow: iTop=%d,iBottom=%d,iRange=%d", below->iTop, below->iBottom,
               below->iRange);

    // The old range leaves the Group now but is freed only once both halves are in.
    log_.Write(u"GETUNIQUEHEIGHT2 Attempting to delete old range.");
    std::unique_ptr<Range> old(static_cast<Range*>(gRanges.RemoveAt(m)));
    log_.Write(u"GETUNIQUEHEIGHT2 Old range deleted.");
    log_.Write(u"GETUNIQUEHEIGHT2 Current Size of Ranges group=%d", CountOf(gRanges));
    Dump<GetTexts>(log_, gRanges, kNoElements);

    const Range* aboveItem = above.get();
    if (!OrderedInsert<AboveInsert>(log_, gRanges, above)) return Restore(log_, gRanges, old, m);
    Dump<GetTexts>(log_, gRanges, kNoElements);
    if (!OrderedInsert<BelowInsert>(log_, gRanges, below)) {
        TakeBack(gRanges, aboveItem);
        delete aboveItem;
        return Restore(log_, gRanges, old, m);
    }
    Dump<GetTexts>(log_, gRanges);

    log_.Write(u"GETUNIQUEHEIGHT2 Chosen cyPos=%d and cySize=%d", cyPos, cySize);
    return cyPos;
}

} // namespace tavelin
