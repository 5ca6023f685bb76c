#include "generator/path_search.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <stdexcept>

#include "generator/seeded_streams.h"
#include "slot_rules.h"

namespace tavrena {

namespace {

using path_rules::Departure;
using path_rules::SlotRules;

// One proposed extension of a beam entry by one pitch.
struct Extension {
  double cost;
  std::int32_t parentRank;  // lexicographic rank of the parent's pitch list
  std::int32_t pitch;
  std::int32_t parent;  // index into the current beam
};

// (cost, pitch list) order; a pitch list compares as (parent's list, pitch).
// Total, because no two extensions share both parent and pitch.
bool cheaper(const Extension& a, const Extension& b) {
  if (a.cost != b.cost) return a.cost < b.cost;
  if (a.parentRank != b.parentRank) return a.parentRank < b.parentRank;
  return a.pitch < b.pitch;
}

struct PathStep {
  std::int32_t parent;  // previous step, -1 at the start
  std::int32_t pitch;
};

// The beam and every buffer one search step needs, reused from slot to slot.
struct Search {
  std::vector<PathStep> steps;  // every kept path shares its prefix here
  std::vector<BeamEntry> beam;
  std::vector<BeamEntry> nextBeam;
  std::vector<std::int32_t> byRank;  // beam index by rank of its pitch list

  // Extensions are merged by (prev1, new pitch): the same last two pitches make
  // the same future, so only the best such path matters. One row of cells per
  // distinct prev1 of the beam, one cell per candidate.
  std::vector<std::int32_t> prev1Values;
  std::vector<std::int32_t> rowOf;  // by beam entry
  std::vector<double> cellCost;
  std::vector<std::int32_t> cellParent;  // beam index, -1 = no path yet

  std::vector<Extension> extensions;
  std::vector<std::uint64_t> listOrder;  // (parent rank, pitch, position) packed
};

void groupByLastPitch(Search& s) {
  s.prev1Values.clear();
  s.rowOf.clear();
  for (const BeamEntry& entry : s.beam) {
    auto it = std::find(s.prev1Values.begin(), s.prev1Values.end(), entry.prev1);
    if (it == s.prev1Values.end()) it = s.prev1Values.insert(s.prev1Values.end(), entry.prev1);
    s.rowOf.push_back(static_cast<std::int32_t>(it - s.prev1Values.begin()));
  }
}

// Offers every allowed move of every beam entry to its (prev1, pitch) cell.
// Entries go in ascending rank of their pitch lists, so an equal cost never
// replaces: the earlier offer has the smaller list.
void extendBeam(Search& s, const SlotRules& rules) {
  const std::size_t count = rules.candidates.size();
  s.cellCost.assign(s.prev1Values.size() * count, std::numeric_limits<double>::infinity());
  s.cellParent.assign(s.cellCost.size(), -1);
  for (const std::int32_t b : s.byRank) {
    const BeamEntry& entry = s.beam[static_cast<std::size_t>(b)];
    const std::size_t row = static_cast<std::size_t>(s.rowOf[static_cast<std::size_t>(b)]) * count;
    double* const costs = s.cellCost.data() + row;
    std::int32_t* const parents = s.cellParent.data() + row;
    const Departure dep = path_rules::departFrom(rules, entry.prev2, entry.prev1);
    auto offer = [&](std::size_t ci) {
      const double total = (rules.noteCosts[ci] + entry.cost) +
                           path_rules::moveCost(rules, dep, rules.candidates[ci]);
      if (total < costs[ci]) {
        costs[ci] = total;
        parents[ci] = b;
      }
    };
    if (dep.restricted) {
      for (std::int32_t i = 0; i < dep.allowedCount; ++i) {
        const std::int32_t ci = rules.candidateIndex(dep.allowed[static_cast<std::size_t>(i)]);
        if (ci >= 0) offer(static_cast<std::size_t>(ci));
      }
    } else {
      for (std::size_t ci = 0; ci < count; ++ci) offer(ci);
    }
  }
}

void collectExtensions(Search& s, const SlotRules& rules) {
  const std::size_t count = rules.candidates.size();
  s.extensions.clear();
  for (std::size_t cell = 0; cell < s.cellParent.size(); ++cell) {
    const std::int32_t parent = s.cellParent[cell];
    if (parent < 0) continue;
    s.extensions.push_back({s.cellCost[cell], s.beam[static_cast<std::size_t>(parent)].pitches.rank,
                            rules.candidates[cell % count], parent});
  }
}

// The 48 cheapest extensions become the beam, in (cost, pitch list) order,
// each with its list's rank among them for the next step's comparisons.
void selectBeam(Search& s) {
  const std::size_t keep = std::min(kBeamWidth, s.extensions.size());
  const auto kept = s.extensions.begin() + static_cast<std::ptrdiff_t>(keep);
  if (keep < s.extensions.size())
    std::nth_element(s.extensions.begin(), kept, s.extensions.end(), cheaper);
  std::sort(s.extensions.begin(), kept, cheaper);

  s.listOrder.clear();
  for (std::size_t i = 0; i < keep; ++i) {
    const Extension& ext = s.extensions[i];
    s.listOrder.push_back(static_cast<std::uint64_t>(ext.parentRank) << 40 |
                          static_cast<std::uint64_t>(ext.pitch) << 8 | i);
  }
  std::sort(s.listOrder.begin(), s.listOrder.end());

  s.nextBeam.resize(keep);
  s.byRank.resize(keep);
  for (std::size_t rank = 0; rank < keep; ++rank) {
    const std::size_t i = s.listOrder[rank] & 0xFF;
    const Extension& ext = s.extensions[i];
    const BeamEntry& parent = s.beam[static_cast<std::size_t>(ext.parent)];
    const auto node = static_cast<std::int32_t>(s.steps.size());
    s.steps.push_back({parent.pitches.node, ext.pitch});
    s.nextBeam[i] = {ext.cost, parent.prev1, ext.pitch,
                     PitchPath{node, static_cast<std::int32_t>(rank)}};
    s.byRank[rank] = static_cast<std::int32_t>(i);
  }
  s.beam.swap(s.nextBeam);
}

std::vector<std::int32_t> tracePath(const std::vector<PathStep>& steps, std::int32_t node,
                                    std::size_t length) {
  std::vector<std::int32_t> pitches(length);
  for (std::size_t i = length; i-- > 0;) {
    pitches[i] = steps[static_cast<std::size_t>(node)].pitch;
    node = steps[static_cast<std::size_t>(node)].parent;
  }
  return pitches;
}

}  // namespace

std::vector<std::int32_t> searchMelodicPath(const std::vector<NoteSlot>& slots, std::size_t first,
                                            std::size_t end,
                                            const std::vector<TimelineSegment>& segments,
                                            std::int32_t prev2, std::int32_t prev1,
                                            const SoloSettings& solo,
                                            const std::atomic<bool>& cancelFlag) {
  const std::size_t length = end > first ? end - first : 0;
  Search s;
  s.steps.reserve(length * kBeamWidth);
  s.beam.push_back(BeamEntry{0.0, prev2, prev1, PitchPath{}});
  s.byRank.push_back(0);
  SlotRules rules;
  const NoteSlot* previous = first > 0 ? &slots[first - 1] : nullptr;
  for (std::size_t a = first; a < end; ++a) {
    checkCancel(cancelFlag);
    path_rules::fillSlotRules(rules, previous, slots[a], segments, solo);
    groupByLastPitch(s);
    extendBeam(s, rules);
    collectExtensions(s, rules);
    if (s.extensions.empty()) throw std::runtime_error(kNoMelodicPath);
    selectBeam(s);
    previous = &slots[a];
  }
  return tracePath(s.steps, s.beam.front().pitches.node, length);
}

}  // namespace tavrena
