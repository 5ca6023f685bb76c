#pragma once
#include <cstdint>
#include <vector>

#include "generator/planning.h"
#include "theory/config.h"
#include "theory/timeline.h"

namespace tavrena {

// The rules the melodic path search weighs pitches by. transitionCost is written
// literally, one rule after another; the search evaluates the same rules from
// per-slot tables and is held to these functions by the tests.

// Ascending pitches in [low_note, high_note] that the slot allows.
std::vector<std::int32_t> pitchCandidates(const NoteSlot& slot, const TimelineSegment& segment,
                                          const SoloSettings& solo);

// Cost of a pitch on its slot (contour distance, harmonic fit, colour, cadence).
double noteCost(std::int32_t pitch, const NoteSlot& slot, const TimelineSegment& segment,
                const SoloSettings& solo);

// Cost of moving p1 -> pitch (p2 before p1; -1 = none), or +infinity for a
// forbidden move. previousSlot is null for the first slot of the piece.
double transitionCost(std::int32_t p2, std::int32_t p1, std::int32_t pitch,
                      const NoteSlot* previousSlot, const NoteSlot& slot,
                      const std::vector<TimelineSegment>& segments, const SoloSettings& solo);

}  // namespace tavrena
