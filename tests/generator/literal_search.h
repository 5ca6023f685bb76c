#pragma once
// The melodic path search exactly as its rules read: every entry owns a copy of
// its pitch list, extensions are merged in an ordered map keyed by (prev1, pitch)
// and the beam is a full sort by (cost, pitch list). Quadratic, but obviously
// right; the optimised search must agree with it.
#include <atomic>
#include <cstdint>
#include <vector>

#include "generator/planning.h"

namespace tavrena::testing {

struct LiteralSearchStats {
  long equalCostComparisons = 0;  // times the pitch lists had to decide
};

std::vector<std::int32_t> literalSearchMelodicPath(const std::vector<NoteSlot>& slots,
                                                   std::size_t first, std::size_t end,
                                                   const std::vector<TimelineSegment>& segments,
                                                   std::int32_t prev2, std::int32_t prev1,
                                                   const SoloSettings& solo,
                                                   LiteralSearchStats& stats);

}  // namespace tavrena::testing
