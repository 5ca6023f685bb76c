#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "generator/path_rules.h"
#include "generator/planning.h"
#include "theory/config.h"
#include "theory/timeline.h"

namespace tavrena {

inline constexpr std::size_t kBeamWidth = 48;

// A path's pitch list, held as a link into the search's step arena plus the
// list's position in lexicographic order among the paths of the same step, so
// that extending a path and comparing two paths both cost O(1).
struct PitchPath {
  std::int32_t node = -1;  // last step of the path; -1 = no pitches yet
  std::int32_t rank = 0;   // lexicographic rank among the current beam's paths
};

// One partial path of the beam.
struct BeamEntry {
  double cost = 0.0;
  std::int32_t prev2 = -1;  // pitch before the last one, -1 = none
  std::int32_t prev1 = -1;  // last pitch, -1 = none
  PitchPath pitches;
};

// One pitch per slot in [first, end), in slot order: the cheapest path of a
// 48-wide beam search, equal-cost paths ordered by their pitch lists.
// prev2/prev1 carry the last pitches before `first` (-1 = none).
// Throws kGenerationCancelled and kNoMelodicPath.
std::vector<std::int32_t> searchMelodicPath(const std::vector<NoteSlot>& slots, std::size_t first,
                                            std::size_t end,
                                            const std::vector<TimelineSegment>& segments,
                                            std::int32_t prev2, std::int32_t prev1,
                                            const SoloSettings& solo,
                                            const std::atomic<bool>& cancelFlag);

}  // namespace tavrena
