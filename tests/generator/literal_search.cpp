#include "literal_search.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <stdexcept>
#include <utility>

#include "generator/path_search.h"
#include "generator/seeded_streams.h"

namespace tavrena::testing {

namespace {
struct Entry {
  double cost;
  std::int32_t prev2;
  std::int32_t prev1;
  std::vector<std::int32_t> pitches;
};
}  // namespace

std::vector<std::int32_t> literalSearchMelodicPath(const std::vector<NoteSlot>& slots,
                                                   std::size_t first, std::size_t end,
                                                   const std::vector<TimelineSegment>& segments,
                                                   std::int32_t prev2, std::int32_t prev1,
                                                   const SoloSettings& solo,
                                                   LiteralSearchStats& stats) {
  std::vector<Entry> beam{{0.0, prev2, prev1, {}}};
  const NoteSlot* previous = first > 0 ? &slots[first - 1] : nullptr;
  for (std::size_t a = first; a < end; ++a) {
    const NoteSlot& slot = slots[a];
    const TimelineSegment& segment = segments[static_cast<std::size_t>(slot.segment)];
    std::map<std::pair<std::int32_t, std::int32_t>, Entry> table;
    for (const Entry& entry : beam) {
      for (std::int32_t t : pitchCandidates(slot, segment, solo)) {
        const double w =
            transitionCost(entry.prev2, entry.prev1, t, previous, slot, segments, solo);
        if (std::isinf(w) || std::isnan(w)) continue;
        const double total = (noteCost(t, slot, segment, solo) + entry.cost) + w;
        Entry extended{total, entry.prev1, t, entry.pitches};
        extended.pitches.push_back(t);
        const auto [it, inserted] = table.try_emplace({entry.prev1, t}, extended);
        if (inserted) continue;
        if (total == it->second.cost) ++stats.equalCostComparisons;
        if (total < it->second.cost ||
            (total == it->second.cost && extended.pitches < it->second.pitches))
          it->second = std::move(extended);
      }
    }
    if (table.empty()) throw std::runtime_error(kNoMelodicPath);
    std::vector<Entry> next;
    for (auto& [key, entry] : table) next.push_back(std::move(entry));
    std::sort(next.begin(), next.end(), [&](const Entry& x, const Entry& y) {
      if (x.cost != y.cost) return x.cost < y.cost;
      ++stats.equalCostComparisons;
      return x.pitches < y.pitches;
    });
    if (next.size() > kBeamWidth) next.resize(kBeamWidth);
    beam = std::move(next);
    previous = &slot;
  }
  return beam.front().pitches;
}

}  // namespace tavrena::testing
