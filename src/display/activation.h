// ACTIVATE and DEACTIVATE: display lines move between the queue and the
// screen, taking a lane from the allocator and giving it back.
#pragma once

#include <cstdint>

#include "core/group.h"
#include "core/log.h"
#include "lanes/lane_allocator.h"

namespace tavelin {

// Brings the head of inactive on screen in a free lane at the tail of active.
// False, with both lists unchanged, when no lane is free for it.
bool ACTIVATE(Group& active, Group& inactive, int32_t cyClientScrolling, Group& ranges, LaneAllocator& lanes,
              Log& log);

// Takes the line at position of active (past the end: the last) to the tail of
// inactive and gives its lane back. False only when the queue could not take it;
// the line then stays on screen in its lane.
bool DEACTIVATE(Group& active, Group& inactive, uint32_t position, Group& ranges, LaneAllocator& lanes, Log& log);

} // namespace tavelin
