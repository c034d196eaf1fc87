// Shared steps of the lane allocator over gRanges: the dump, the ordered insert
// (with the texts of each of its three uses) and putting a removed range back.
#pragma once

#include <cstdint>
#include <memory>

#include "core/group.h"
#include "core/log.h"
#include "lanes/range.h"

namespace tavelin::lanes_detail {

inline Range* RangeAt(Group& gRanges, uint32_t i) { return static_cast<Range*>(gRanges.GetAt(i)); }
inline int32_t CountOf(const Group& gRanges) { return static_cast<int32_t>(gRanges.GetCount()); }

struct GetTexts {
    static constexpr std::u16string_view kDumpTitle =
        u"GETUNIQUEHEIGHT2 *** RANGE GROUP DUMP *** (ordered with largest range first)";
    static constexpr std::u16string_view kDumpRow = u"GETUNIQUEHEIGHT2 Range(%d),iRange=%d,iTop=%d,iBottom=%d";
    static constexpr std::u16string_view kRow = u"GETUNIQUEHEIGHT2 Range(%d) value=%d";
    static constexpr std::u16string_view kLess = u"GETUNIQUEHEIGHT2 Current range less than new range, insert at %d";
};

struct RemoveTexts {
    static constexpr std::u16string_view kDumpTitle =
        u"REMOVEUNIQUEHEIGHT *** RANGE GROUP DUMP *** (ordered with largest range first)";
    static constexpr std::u16string_view kDumpRow = u"REMOVEUNIQUEHEIGHT Range(%d),iRange=%d,iTop=%d,iBottom=%d";
    static constexpr std::u16string_view kRow = u"REMOVEUNIQUEHEIGHT Range(%d) value=%d";
    static constexpr std::u16string_view kLess = u"REMOVEUNIQUEHEIGHT Current range less than new range, insert at %d";
};

struct AboveInsert : GetTexts {
    static constexpr bool kEmptyBranch = true;
    static constexpr std::u16string_view kSpecial =
        u"GETUNIQUEHEIGHT2 (Special Case, 0 ranges at start) Attempting to add new range (above).";
    static constexpr std::u16string_view kEmptyAdded =
        u"GETUNIQUEHEIGHT2 New Above Range added to empty gRanges group, Current Size of Ranges group=%d";
    static constexpr std::u16string_view kEmptyFailed =
        u"GETUNIQUEHEIGHT2 New Above Range failed to add to empty gRanges group, Current Size of Ranges group=%d";
    static constexpr std::u16string_view kValue = u"GETUNIQUEHEIGHT2 New Above Range value=%d";
    static constexpr std::u16string_view kAttempt = u"GETUNIQUEHEIGHT2 Attempting to add new range (above) at index %d";
    static constexpr std::u16string_view kAdded =
        u"GETUNIQUEHEIGHT2 New Above Range added successfully to gRanges group, Current Size of Ranges group=%d";
    static constexpr std::u16string_view kFailed =
        u"GETUNIQUEHEIGHT2 New Above Range failed to add to gRanges group, Current Size of Ranges group=%d";
};

struct BelowInsert : GetTexts {
    static constexpr bool kEmptyBranch = false;
    static constexpr std::u16string_view kSpecial = u"";
    static constexpr std::u16string_view kEmptyAdded = u"%d";
    static constexpr std::u16string_view kEmptyFailed = u"%d";
    static constexpr std::u16string_view kValue = u"GETUNIQUEHEIGHT2 New Below Range value=%d";
    static constexpr std::u16string_view kAttempt = u"GETUNIQUEHEIGHT2 Attempting to add new range (below) at index %d";
    static constexpr std::u16string_view kAdded =
        u"GETUNIQUEHEIGHT2 New Below Range added successfully to gRanges group, Current Size of Ranges group=%d";
    static constexpr std::u16string_view kFailed =
        u"GETUNIQUEHEIGHT2 New Below Range failed to add to gRanges group, Current Size of Ranges group=%d";
};

struct MergedInsert : RemoveTexts {
    static constexpr bool kEmptyBranch = true;
    static constexpr std::u16string_view kSpecial =
        u"REMOVEUNIQUEHEIGHT (Special Case, 0 ranges) Attempting to add new range.";
    static constexpr std::u16string_view kEmptyAdded =
        u"REMOVEUNIQUEHEIGHT New Range added to empty gRanges group, Current Size of Ranges group=%d";
    static constexpr std::u16string_view kEmptyFailed =
        u"REMOVEUNIQUEHEIGHT New Range failed to add to empty gRanges group, Current Size of Ranges group=%d";
    static constexpr std::u16string_view kValue = u"REMOVEUNIQUEHEIGHT New Range value=%d";
    static constexpr std::u16string_view kAttempt = u"REMOVEUNIQUEHEIGHT Attempting to add new range at index %d";
    static constexpr std::u16string_view kAdded =
        u"REMOVEUNIQUEHEIGHT New Range added successfully to gRanges group, Current Size of Ranges group=%d";
    static constexpr std::u16string_view kFailed =
        u"REMOVEUNIQUEHEIGHT New Range failed to add to gRanges group, Current Size of Ranges group=%d";
};

// The title and one row per range; emptyNote replaces the rows of an empty group.
template <class Texts>
void Dump(Log& log, Group& gRanges, std::u16string_view emptyNote = {}) {
    log.Write(Texts::kDumpTitle);
    if (gRanges.GetCount() == 0 && !emptyNote.empty()) log.WriteMessage(emptyNote);
    for (uint32_t i = 0; i < gRanges.GetCount(); ++i) {
        const Range* r = RangeAt(gRanges, i);
        log.Write(Texts::kDumpRow, static_cast<int32_t>(i), r->iRange, r->iTop, r->iBottom);
    }
}

// Puts range in front of the first strictly smaller one (appends when there is
// none), so equal sizes keep their order of insertion. On success the Group
// owns the range; on failure it stays with the caller.
template <class Use>
bool OrderedInsert(Log& log, Group& gRanges, std::unique_ptr<Range>& range) {
    if constexpr (Use::kEmptyBranch) {
        if (CountOf(gRanges) < 1) {
            log.Write(Use::kSpecial);
            const bool added = gRanges.Add(range.get());
            if (added) range.release();
            if (added) log.Write(Use::kEmptyAdded, CountOf(gRanges));
            else log.Write(Use::kEmptyFailed, CountOf(gRanges));
            return added;
        }
    }
    log.Write(Use::kValue, range->iRange);
    int32_t position = -1;
    for (uint32_t k = 0; k < gRanges.GetCount(); ++k) {
        const Range* r = RangeAt(gRanges, k);
        log.Write(Use::kRow, static_cast<int32_t>(k), r->iRange);
        if (r->iRange < range->iRange) {
            log.Write(Use::kLess, static_cast<int32_t>(k));
            position = static_cast<int32_t>(k);
            break;
        }
    }
    log.Write(Use::kAttempt, position);
    const bool added = gRanges.Add(range.get(), static_cast<uint32_t>(position));
    if (added) range.release();
    if (added) log.Write(Use::kAdded, CountOf(gRanges));
    else log.Write(Use::kFailed, CountOf(gRanges));
    return added;
}

// Removes the range that is item of gRanges (by identity); the caller owns it then.
inline void TakeBack(Group& gRanges, const Range* item) {
    for (uint32_t i = 0; i < gRanges.GetCount(); ++i) {
        if (RangeAt(gRanges, i) == item) {
            gRanges.RemoveAt(i);
            return;
        }
    }
}

// Re-links a range removed from position; false when the Group refused it.
inline bool PutBack(Group& gRanges, std::unique_ptr<Range>& range, uint32_t position) {
    if (!gRanges.Add(range.get(), position)) return false;
    range.release();
    return true;
}

} // namespace tavelin::lanes_detail
