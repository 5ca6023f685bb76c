#include "generator/path_search.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <utility>

#include "generator/seeded_streams.h"
#include "slot_rules.h"

namespace tavrena {

namespace {

using path_rules::Departure;
using path_rules::SlotRules;

// A reached cell as two integers compared in turn: the cost's key, then the
// pitch list (parent's rank x pitch span + pitch - low, upper 32 bits) with the
// cell index (lower 32 bits).
struct CellKey {
  std::uint64_t cost;
  std::uint64_t list;
  friend bool operator<(const CellKey& a, const CellKey& b) {
    return a.cost < b.cost || (a.cost == b.cost && a.list < b.list);
  }
};

constexpr std::int32_t kPitchRows = 129;
static_assert(kBeamWidth < 128, "beam positions must fit rowByPitch and listPosition");

// Candidate indices [first, last).
struct NearRange {
  std::size_t first;
  std::size_t last;
};

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
  std::vector<std::int32_t> rowOf;                  // by beam entry
  std::vector<path_rules::Departure> rowDeparture;  // by row, its prev1's part
  std::vector<path_rules::Departure> departures;    // by rank
  std::vector<NearRange> rowNear;                   // by row
  std::vector<double> groupCost;  // by row: cheapest so far without a leap, and of all
  // Row by prev1 + 1 for -1 .. 126 (every MIDI pitch), -1 between steps; other
  // values, which only the caller's prev1 can hold, are looked up in prev1Values.
  std::array<std::int8_t, kPitchRows> rowByPitch;
  std::vector<double> cellCost;
  std::vector<std::int32_t> cellParent;  // beam index, -1 = no path yet

  std::array<std::uint32_t, 256> histogram;
  std::vector<CellKey> ranked;             // reached cells, the kept ones first and in order
  std::vector<std::uint64_t> listBits;     // the kept pitch lists; all zero between steps
  std::vector<std::uint8_t> listPosition;  // by pitch list: its position in ranked
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

// Keeps the cheaper of a cell's offers without a branch: which entry wins a
// cell is hard to predict.
inline void keepCheaper(double& cost, std::int32_t& parent, double total, std::int32_t b) {
  const std::int32_t better = -static_cast<std::int32_t>(total < cost);
  cost = std::min(cost, total);
  parent ^= (parent ^ b) & better;
}

// Calls offer(ci, total) for every allowed move of one entry, total being the
// path's cost with candidate ci: (note cost + entry cost) + move cost.
// With nearOnly, moves of more than two semitones are left out: the caller knows
// an entry offered before this one makes each of them at least as cheap.
// near is the range of candidates within two semitones of the entry's last pitch.
template <typename Offer>
void forEachMove(const SlotRules& rules, const BeamEntry& entry, const Departure& dep,
                 NearRange near, bool nearOnly, Offer offer) {
  const std::int32_t* const pitches = rules.candidates.data();
  const double* const noteCosts = rules.noteCosts.data();
  const std::size_t count = rules.candidates.size();
  if (dep.restricted) {
    for (std::int32_t i = 0; i < dep.allowedCount; ++i) {
      const std::int32_t ci = rules.candidateIndex(dep.allowed[static_cast<std::size_t>(i)]);
      if (ci < 0) continue;
      const auto c = static_cast<std::size_t>(ci);
      offer(c, (noteCosts[c] + entry.cost) + path_rules::moveCost(rules, dep, pitches[c]));
    }
    return;
  }
  const std::int32_t p1 = dep.p1;
  const bool tabled = rules.low >= 0 && p1 >= 0 &&
                      rules.high < static_cast<std::int32_t>(path_rules::kIntervalTableSize) &&
                      p1 < static_cast<std::int32_t>(path_rules::kIntervalTableSize);
  if (!tabled) {
    for (std::size_t c = 0; c < count; ++c)
      offer(c, (noteCosts[c] + entry.cost) + path_rules::moveCost(rules, dep, pitches[c]));
    return;
  }
  // Moves of up to two semitones take the full rules; the farther ones below
  // and above cost what the table says for their interval.
  for (std::size_t c = near.first; c < near.last; ++c)
    offer(c, (noteCosts[c] + entry.cost) + path_rules::moveCost(rules, dep, pitches[c]));
  if (nearOnly) return;
  const auto& far = path_rules::farMoveCosts(rules, dep);
  for (std::size_t c = 0; c < near.first; ++c)
    offer(c, (noteCosts[c] + entry.cost) + far[static_cast<std::size_t>(p1 - pitches[c])]);
  for (std::size_t c = near.last; c < count; ++c)
    offer(c, (noteCosts[c] + entry.cost) + far[static_cast<std::size_t>(pitches[c] - p1)]);
}

// The far-move skip in extendBeam counts on a leap never making a far move cheaper.
constexpr bool leapNeverCheapensFarMoves() {
  for (std::size_t context = 0; context < 3; ++context)
    for (std::size_t e = 0; e < path_rules::kIntervalTableSize; ++e)
      if (path_rules::kFarMoveCost[1][context][e] < path_rules::kFarMoveCost[0][context][e])
        return false;
  return true;
}
static_assert(leapNeverCheapensFarMoves());

// Offers every allowed move of every beam entry to its (prev1, pitch) cell.
// Entries go in ascending rank of their pitch lists, so an equal cost never
// replaces: the earlier offer has the smaller list.
void extendBeam(Search& s, const SlotRules& rules) {
  const std::size_t count = rules.candidates.size();
  s.cellCost.assign(s.prev1Values.size() * count, std::numeric_limits<double>::infinity());
  s.cellParent.assign(s.cellCost.size(), -1);
  s.rowDeparture.clear();
  s.rowNear.clear();
  const std::int32_t* const pitches = rules.candidates.data();
  for (const std::int32_t p1 : s.prev1Values) {
    s.rowDeparture.push_back(path_rules::departFrom(rules, -1, p1));
    // Candidates ascend.
    const auto* const first = std::lower_bound(pitches, pitches + count, p1 - 2);
    const auto* const last = std::lower_bound(first, pitches + count, p1 + 3);
    s.rowNear.push_back(
        {static_cast<std::size_t>(first - pitches), static_cast<std::size_t>(last - pitches)});
  }
  s.departures.clear();
  for (const std::int32_t b : s.byRank)
    s.departures.push_back(path_rules::withPrevious(
        s.rowDeparture[static_cast<std::size_t>(s.rowOf[static_cast<std::size_t>(b)])],
        s.beam[static_cast<std::size_t>(b)].prev2));

  // A far move's cost depends only on the row and on whether the entry left a
  // leap, which adds to every far move; sums round monotonically. So an entry
  // gains no far cell over an earlier-ranked entry of its row that costs no more
  // and left no leap, or left one as it did (an equal total keeps the earlier
  // offer). By row: the cheapest cost so far without a leap, and overall.
  s.groupCost.assign(s.prev1Values.size() * 2, std::numeric_limits<double>::infinity());
  for (std::size_t i = 0; i < s.byRank.size(); ++i) {
    const std::int32_t b = s.byRank[i];
    const BeamEntry& entry = s.beam[static_cast<std::size_t>(b)];
    const auto row = static_cast<std::size_t>(s.rowOf[static_cast<std::size_t>(b)]);
    const Departure& dep = s.departures[i];
    double* const costs = s.cellCost.data() + row * count;
    std::int32_t* const parents = s.cellParent.data() + row * count;
    double& withoutLeap = s.groupCost[row * 2];
    double& any = s.groupCost[row * 2 + 1];
    const bool nearOnly = (dep.leap ? any : withoutLeap) <= entry.cost;
    if (!dep.leap) withoutLeap = std::min(withoutLeap, entry.cost);
    any = std::min(any, entry.cost);
    forEachMove(rules, entry, dep, s.rowNear[row], nearOnly, [&](std::size_t ci, double total) {
      keepCheaper(costs[ci], parents[ci], total, b);
    });
  }
}

// Maps a cost to an unsigned key in the same order (no NaN occurs; -0.0 is
// folded onto 0.0, to which it compares equal).
std::uint64_t orderedKey(double cost) {
  const auto bits = std::bit_cast<std::uint64_t>(cost + 0.0);
  return bits >> 63 ? ~bits : bits | (std::uint64_t{1} << 63);
}

// Drops the cells that cannot be among the `keep` cheapest, without comparing
// cells one with another (mispredicted comparisons dominated the selection):
// the cost keys are bucketed by their high bits over the keys' range, and only
// the buckets up to the one where the count reaches `keep` stay.
// low and high bound the cells' cost keys.
void narrowToCheapest(std::vector<CellKey>& cells, std::size_t keep, std::uint64_t low,
                      std::uint64_t high, std::array<std::uint32_t, 256>& histogram) {
  const int shift = static_cast<int>(std::bit_width((high - low) >> 8));
  auto bucket = [&](CellKey cell) { return static_cast<std::size_t>((cell.cost - low) >> shift); };
  histogram.fill(0);
  for (const CellKey cell : cells) ++histogram[bucket(cell)];
  std::size_t last = 0;
  for (std::size_t sum = histogram[0]; sum < keep; sum += histogram[++last]) {
  }
  std::size_t kept = 0;
  for (const CellKey cell : cells) {
    cells[kept] = cell;  // never ahead of the cell read
    kept += bucket(cell) <= last ? 1 : 0;
  }
  cells.resize(kept);
}

// The 48 cheapest reached cells become the beam, the cheapest first, each with
// its list's rank among them for the next step's comparisons. A pitch list
// compares as (parent's list, pitch), and no two cells share both, so the order
// is total. Cells are compared as integers: (cost key, list, cell). Nothing but
// the front depends on the order of the rest: the next step visits entries by
// rank, and rows and cells are named independently of the choice.
void selectBeam(Search& s, const SlotRules& rules) {
  const std::size_t count = rules.candidates.size();
  const auto span = static_cast<std::uint64_t>(rules.high - rules.low + 1);
  // Written in place and counted, row by row: no division for the candidate
  // and no capacity check per cell.
  s.ranked.resize(s.cellParent.size());
  CellKey* out = s.ranked.data();
  std::uint64_t low = ~std::uint64_t{0};
  std::uint64_t high = 0;
  std::size_t cell = 0;
  for (std::size_t row = 0; row < s.prev1Values.size(); ++row) {
    for (std::size_t ci = 0; ci < count; ++ci, ++cell) {
      if (s.cellParent[cell] < 0) continue;
      const std::uint64_t key = orderedKey(s.cellCost[cell]);
      low = std::min(low, key);
      high = std::max(high, key);
      *out++ = {key, cell};
    }
  }
  s.ranked.resize(static_cast<std::size_t>(out - s.ranked.data()));
  if (s.ranked.empty()) throw std::runtime_error(kNoMelodicPath);
  const std::size_t keep = std::min(kBeamWidth, s.ranked.size());
  if (keep < s.ranked.size()) narrowToCheapest(s.ranked, keep, low, high, s.histogram);
  // Pitch lists only for the cells still in the running.
  for (CellKey& c : s.ranked) {
    const auto cell = static_cast<std::size_t>(c.list);
    const BeamEntry& parent = s.beam[static_cast<std::size_t>(s.cellParent[cell])];
    const auto rank = static_cast<std::uint64_t>(parent.pitches.rank);
    const auto pitch = static_cast<std::uint64_t>(rules.candidates[cell % count] - rules.low);
    c.list |= (rank * span + pitch) << 32;
  }
  if (keep < s.ranked.size())
    std::nth_element(s.ranked.begin(), s.ranked.begin() + static_cast<std::ptrdiff_t>(keep),
                     s.ranked.end());
  const auto kept = s.ranked.begin() + static_cast<std::ptrdiff_t>(keep);
  std::iter_swap(s.ranked.begin(), std::min_element(s.ranked.begin(), kept));

  // Ranks of the kept pitch lists. Their keys (parent's rank x span + pitch)
  // lie below the old beam's size x span, so a bitmap sorts them.
  const std::size_t lists = s.beam.size() * static_cast<std::size_t>(span);
  s.listBits.resize((lists + 63) / 64);
  s.listPosition.resize(lists);
  for (std::size_t i = 0; i < keep; ++i) {
    const auto list = static_cast<std::size_t>(s.ranked[i].list >> 32);
    s.listBits[list / 64] |= std::uint64_t{1} << (list % 64);
    s.listPosition[list] = static_cast<std::uint8_t>(i);
  }
  s.nextBeam.resize(keep);
  s.byRank.resize(keep);
  std::size_t rank = 0;
  for (std::uint64_t& word : s.listBits) {
    for (std::uint64_t bits = std::exchange(word, 0); bits != 0; bits &= bits - 1) {
      const std::size_t list = static_cast<std::size_t>(&word - s.listBits.data()) * 64 +
                               static_cast<std::size_t>(std::countr_zero(bits));
      const std::size_t i = s.listPosition[list];
      const std::size_t cell = s.ranked[i].list & 0xFFFFFFFF;
      const BeamEntry& parent = s.beam[static_cast<std::size_t>(s.cellParent[cell])];
      const std::int32_t pitch = rules.candidates[cell % count];
      const auto node = static_cast<std::int32_t>(s.steps.size());
      s.steps.push_back({parent.pitches.node, pitch});
      s.nextBeam[i] = {s.cellCost[cell], parent.prev1, pitch,
                       PitchPath{node, static_cast<std::int32_t>(rank)}};
      s.byRank[rank++] = static_cast<std::int32_t>(i);
    }
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
    selectBeam(s, rules);
    previous = &slots[a];
  }
  return tracePath(s.steps, s.beam.front().pitches.node, length);
}

}  // namespace tavrena
