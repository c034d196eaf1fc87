// REMOVEUNIQUEHEIGHT: a line's band goes back to the free ranges, merged with
// the range above and the range below it.
#include <new>

#include "lanes/lane_allocator.h"
#include "lanes/range_group.h"

namespace tavelin {
namespace {

using namespace lanes_detail;

// The last position whose range satisfies matches, or -1; every row is logged.
template <class Match>
int32_t Find(Log& log, Group& gRanges, std::u16string_view kind, Match matches) {
    int32_t found = -1;
    for (uint32_t i = 0; i < gRanges.GetCount(); ++i) {
        const Range* r = RangeAt(gRanges, i);
        const int32_t at = static_cast<int32_t>(i);
        log.Write(u"REMOVEUNIQUEHEIGHT Range(%d),iRange=%d,iTop=%d,iBottom=%d", at, r->iRange, r->iTop, r->iBottom);
        if (!matches(*r)) continue;
        if (kind == u"ABOVE")
            log.Write(u"REMOVEUNIQUEHEIGHT Found ABOVE: Range(%d),iRange=%d,iTop=%d,iBottom=%d", at, r->iRange, r->iTop,
                      r->iBottom);
        else
            log.Write(u"REMOVEUNIQUEHEIGHT Found BELOW: Range(%d),iRange=%d,iTop=%d,iBottom=%d", at, r->iRange, r->iTop,
                      r->iBottom);
        found = at;
    }
    return found;
}

// Re-links the removed neighbours in reverse order of removal, which restores
// their old positions; below may be null.
void Restore(Log& log, Group& gRanges, std::unique_ptr<Range>& above, uint32_t posAbove,
             std::unique_ptr<Range>& below, uint32_t posBelow) {
    bool restored = below == nullptr || PutBack(gRanges, below, posBelow);
    restored = PutBack(gRanges, above, posAbove) && restored;
    if (!restored) log.Write(u"REMOVEUNIQUEHEIGHT ERROR Ranges could not be put back");
}

} // namespace

bool LaneAllocator::REMOVEUNIQUEHEIGHT(Group& gRanges, int32_t cyPos, int32_t cySize) {
    log_.Write(u"REMOVEUNIQUEHEIGHT To Remove: cyPos=%d and cySize=%d", cyPos, cySize);
    const int64_t top = cyPos;
    const int64_t end = static_cast<int64_t>(cyPos) + cySize;

    log_.Write(u"REMOVEUNIQUEHEIGHT Search ranges for the ranges ABOVE this string...");
    const int32_t posAbove = Find(log_, gRanges, u"ABOVE", [&](const Range& r) { return r.iBottom == top - 1; });
    if (posAbove < 0) {
        log_.Write(u"REMOVEUNIQUEHEIGHT ERROR Failed to find range above, returning FALSE");
        return false;
    }
    const Range* aboveItem = RangeAt(gRanges, static_cast<uint32_t>(posAbove));
    log_.Write(u"REMOVEUNIQUEHEIGHT Range Above: iTop=%d, iBottom=%d, iRange=%d", aboveItem->iTop, aboveItem->iBottom,
               aboveItem->iRange);
    // Removed neighbours are kept until the merged range is in, so a failure can put them back.
    log_.Write(u"REMOVEUNIQUEHEIGHT Attempting to delete range above...");
    std::unique_ptr<Range> above(static_cast<Range*>(gRanges.RemoveAt(static_cast<uint32_t>(posAbove))));
    log_.Write(u"REMOVEUNIQUEHEIGHT Range above deleted");

    log_.Write(u"REMOVEUNIQUEHEIGHT Search ranges for the ranges BELOW this string...");
    const int32_t posBelow = Find(log_, gRanges, u"BELOW", [&](const Range& r) { return r.iTop == end; });
    std::unique_ptr<Range> below;
    if (posBelow < 0) {
        Restore(log_, gRanges, above, static_cast<uint32_t>(posAbove), below, 0);
        log_.Write(u"REMOVEUNIQUEHEIGHT ERROR Failed to find range below, range above put back, returning FALSE");
        return false;
    }
    const Range* belowItem = RangeAt(gRanges, static_cast<uint32_t>(posBelow));
    log_.Write(u"REMOVEUNIQUEHEIGHT Range Below: iTop=%d, iBottom=%d, iRange=%d", belowItem->iTop, belowItem->iBottom,
               belowItem->iRange);
    log_.Write(u"REMOVEUNIQUEHEIGHT Attempting to delete range Below...");
    below.reset(static_cast<Range*>(gRanges.RemoveAt(static_cast<uint32_t>(posBelow))));
    log_.Write(u"REMOVEUNIQUEHEIGHT Range Below deleted");

    std::unique_ptr<Range> merged(new (std::nothrow) Range{above->iTop, below->iBottom, 0});
    if (merged == nullptr) {
        Restore(log_, gRanges, above, static_cast<uint32_t>(posAbove), below, static_cast<uint32_t>(posBelow));
        log_.Write(u"REMOVEUNIQUEHEIGHT ERROR New range could not be created, returning FALSE");
        return false;
    }
    merged->iRange = merged->iBottom - merged->iTop + 1;
    log_.Write(u"REMOVEUNIQUEHEIGHT New Range created: iTop=%d, iBottom=%d, iRange=%d", merged->iTop, merged->iBottom,
               merged->iRange);
    if (!OrderedInsert<MergedInsert>(log_, gRanges, merged)) {
        Restore(log_, gRanges, above, static_cast<uint32_t>(posAbove), below, static_cast<uint32_t>(posBelow));
        log_.Write(u"REMOVEUNIQUEHEIGHT ERROR Neighbours put back, returning FALSE");
        return false;
    }
    Dump<RemoveTexts>(log_, gRanges);

    log_.Write(u"REMOVEUNIQUEHEIGHT To Remove: cyPos=%d and cyCurrentSize=%d", cyPos, cySize);
    return true;
}

} // namespace tavelin
