// Moving display lines between gInactiveStrings and gActiveStrings.
#include "display/activation.h"

#include "display/display_line.h"

namespace tavelin {

bool ACTIVATE(Group& active, Group& inactive, int32_t cyClientScrolling, Group& ranges, LaneAllocator& lanes,
              Log& log) {
    log.Write(u"ACTIVATE Function called.");
    log.Write(u"ACTIVATE Number of Inactive Strings = %lu", inactive.GetCount());
    auto* line = static_cast<DisplayLine*>(inactive.GetAt(0));
    if (line == nullptr) {
        log.Write(u"ACTIVATE ERROR No inactive string to activate.");
        return false;
    }
    const int32_t cyPos = lanes.GETUNIQUEHEIGHT2(cyClientScrolling - 1, line->cySize, ranges);
    if (cyPos == -1) {
        log.Write(u"ACTIVATE ERROR GUH2 returned height of -1, NOT ACTIVATING STRING.");
        return false;
    }
    line->cyPos = cyPos;
    // Linked into the screen list before it leaves the queue, so a refused node
    // loses nothing: the lane goes back and the line keeps its place.
    if (!active.Add(line)) {
        lanes.REMOVEUNIQUEHEIGHT(ranges, line->cyPos, line->cySize);
        line->cyPos = 0;
        log.Write(u"ACTIVATE ERROR Active list refused the string, NOT ACTIVATING STRING.");
        return false;
    }
    inactive.RemoveAt(0);
    log.Write(u"ACTIVATE Removal Attempted, Number of Inactive Strings = %lu", inactive.GetCount());
    log.Write(u"ACTIVATE Add Attempted, Number of Active Strings = %lu", active.GetCount());
    return true;
}

bool DEACTIVATE(Group& active, Group& inactive, uint32_t position, Group& ranges, LaneAllocator& lanes, Log& log) {
    log.Write(u"DEACTIVATE Function called.");
    auto* line = static_cast<DisplayLine*>(active.GetAt(position));
    if (line == nullptr) return true;
    // Queued first: if the queue refuses it, the line stays on screen with its lane.
    if (!inactive.Add(line)) {
        log.Write(u"DEACTIVATE ERROR Inactive list refused the string, it stays active");
        return false;
    }
    active.RemoveAt(position);
    log.Write(u"DEACTIVATE calling REMOVEUNIQUEHEIGHT for maintenance");
    const bool returned = lanes.REMOVEUNIQUEHEIGHT(ranges, line->cyPos, line->cySize);
    log.Write(u"DEACTIVATE returning from REMOVEUNIQUEHEIGHT, returned %d", returned ? 1 : 0);
    line->cyPos = 0;
    log.Write(u"DEACTIVATE Inactive string given zero height");
    return true;
}

} // namespace tavelin
