#include "generator/path_search.h"

#include <algorithm>
#include <array>
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

constexpr std::int32_t kPitchRows = 129;
static_assert(kBeamWidth < 128, "beam rows must fit rowByPitch");

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
  // Row by prev1 + 1 for -1 .. 126 (every MIDI pitch), -1 between steps; other
  // values, which only the caller's prev1 can hold, are looked up in prev1Values.
  std::array<std::int8_t, kPitchRows> rowByPitch;
  std::vector<double> cellCost;
  std::vector<std::int32_t> cellParent;  // beam index, -1 = no path yet

  std::vector<double> lowest;  // the 48 lowest cell costs, as a max-heap
  std::vector<Extension> extensions;
  std::vector<std::uint64_t> listOrder;  // (parent rank, pitch, position) packed
};

void groupByLastPitch(Search& s) {
  s.prev1Values.clear();
  s.rowOf.clear();
  for (const BeamEntry& entry : s.beam) {
    const std::int32_t p = entry.prev1;
    std::int32_t row = -1;
    if (p >= -1 && p < kPitchRows - 1) {
      std::int8_t& known = s.rowByPitch[static_cast<std::size_t>(p + 1)];
      if (known < 0) {
        known = static_cast<std::int8_t>(s.prev1Values.size());
        s.prev1Values.push_back(p);
      }
      row = known;
    } else {
      const auto it = std::find(s.prev1Values.begin(), s.prev1Values.end(), p);
      row = static_cast<std::int32_t>(it - s.prev1Values.begin());
      if (it == s.prev1Values.end()) s.prev1Values.push_back(p);
    }
    s.rowOf.push_back(row);
  }
  for (const std::int32_t p : s.prev1Values)
    if (p >= -1 && p < kPitchRows - 1) s.rowByPitch[static_cast<std::size_t>(p + 1)] = -1;
}

// Offers every allowed move of every beam entry to its (prev1, pitch) cell.
// Entries go in ascending rank of their pitch lists, so an equal cost never
// replaces: the earlier offer has the smaller list.
void extendBeam(Search& s, const SlotRules& rules) {
  const std::size_t count = rules.candidates.size();
  s.cellCost.assign(s.prev1Values.size() * count, std::numeric_limits<double>::infinity());
  s.cellParent.assign(s.cellCost.size(), -1);
  // Candidates (and so every interval to a tabled p1) within the tables.
  const bool tabled =
      rules.low >= 0 && rules.high < static_cast<std::int32_t>(path_rules::kIntervalTableSize);
  for (const std::int32_t b : s.byRank) {
    const BeamEntry& entry = s.beam[static_cast<std::size_t>(b)];
    const std::size_t row = static_cast<std::size_t>(s.rowOf[static_cast<std::size_t>(b)]) * count;
    double* const costs = s.cellCost.data() + row;
    std::int32_t* const parents = s.cellParent.data() + row;
    const Departure dep = path_rules::departFrom(rules, entry.prev2, entry.prev1);
    auto offer = [&](std::size_t ci) {
      const double total = (rules.noteCosts[ci] + entry.cost) +
                           path_rules::moveCost(rules, dep, rules.candidates[ci]);
      // Branch-free: which entry wins a cell is hard to predict.
      const bool better = total < costs[ci];
      costs[ci] = better ? total : costs[ci];
      parents[ci] = better ? b : parents[ci];
    };
    if (dep.restricted) {
      for (std::int32_t i = 0; i < dep.allowedCount; ++i) {
        const std::int32_t ci = rules.candidateIndex(dep.allowed[static_cast<std::size_t>(i)]);
        if (ci >= 0) offer(static_cast<std::size_t>(ci));
      }
      continue;
    }
    const std::int32_t p1 = dep.p1;
    if (p1 < 0 || !tabled || p1 >= static_cast<std::int32_t>(path_rules::kIntervalTableSize)) {
      for (std::size_t ci = 0; ci < count; ++ci) offer(ci);
      continue;
    }
    // Moves of up to two semitones take the full rules; farther ones cost
    // what the table says for their interval.
    const auto& far = path_rules::farMoveCosts(rules, dep);
    const std::int32_t* const pitches = rules.candidates.data();
    const auto near =
        static_cast<std::size_t>(std::lower_bound(pitches, pitches + count, p1 - 2) - pitches);
    const auto beyond = static_cast<std::size_t>(
        std::upper_bound(pitches + near, pitches + count, p1 + 2) - pitches);
    const double base = entry.cost;
    auto offerFar = [&](std::size_t ci, std::int32_t e) {
      const double total = (rules.noteCosts[ci] + base) + far[static_cast<std::size_t>(e)];
      const bool better = total < costs[ci];
      costs[ci] = better ? total : costs[ci];
      parents[ci] = better ? b : parents[ci];
    };
    for (std::size_t ci = 0; ci < near; ++ci) offerFar(ci, p1 - pitches[ci]);
    for (std::size_t ci = near; ci < beyond; ++ci) offer(ci);
    for (std::size_t ci = beyond; ci < count; ++ci) offerFar(ci, pitches[ci] - p1);
  }
}

// The extensions that can make the beam: the cells whose cost is at most the
// 48th lowest cost (a few more when costs tie there).
void collectExtensions(Search& s, const SlotRules& rules) {
  const std::size_t count = rules.candidates.size();
  // A max-heap of the lowest costs seen: most cells fail against its top at once.
  s.lowest.clear();
  for (std::size_t cell = 0; cell < s.cellParent.size(); ++cell) {
    if (s.cellParent[cell] < 0) continue;
    const double cost = s.cellCost[cell];
    if (s.lowest.size() < kBeamWidth) {
      s.lowest.push_back(cost);
      std::push_heap(s.lowest.begin(), s.lowest.end());
    } else if (cost < s.lowest.front()) {
      std::pop_heap(s.lowest.begin(), s.lowest.end());
      s.lowest.back() = cost;
      std::push_heap(s.lowest.begin(), s.lowest.end());
    }
  }
  const double limit =
      s.lowest.size() < kBeamWidth ? std::numeric_limits<double>::infinity() : s.lowest.front();
  s.extensions.clear();
  for (std::size_t cell = 0; cell < s.cellParent.size(); ++cell) {
    const std::int32_t parent = s.cellParent[cell];
    if (parent < 0 || s.cellCost[cell] > limit) continue;
    s.extensions.push_back({s.cellCost[cell], s.beam[static_cast<std::size_t>(parent)].pitches.rank,
                            rules.candidates[cell % count], parent});
  }
}

// The 48 cheapest extensions become the beam, in (cost, pitch list) order,
// each with its list's rank among them for the next step's comparisons.
void selectBeam(Search& s) {
  std::sort(s.extensions.begin(), s.extensions.end(), cheaper);
  const std::size_t keep = std::min(kBeamWidth, s.extensions.size());

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
  s.rowByPitch.fill(-1);
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
