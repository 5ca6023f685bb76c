#pragma once
#include <cstdint>

#include "generator/planning.h"
#include "theory/config.h"
#include "theory/json.h"
#include "theory/ticks.h"
#include "theory/timeline.h"

namespace tavrena {

// The note object {"start", "length", "pitch", "velocity"} of a slot: humanized
// start, gated length (always inside the slot, at least one tick) and shaped velocity.
Json assembleNote(const NoteSlot& slot, std::int32_t pitch, const TimelineSegment& segment,
                  const SoloSettings& solo);

}  // namespace tavrena
