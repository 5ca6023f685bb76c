#pragma once
// The path rules as the beam search evaluates them: everything about a slot that
// does not depend on the path reaching it is tabled once per slot (SlotRules),
// everything about leaving a path's last pitch once per beam entry (Departure),
// so that the cost of one move is a handful of arithmetic. moveCost adds the
// same terms in the same order as transitionCost, so both give the same bits.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <vector>

#include "generator/planning.h"
#include "theory/config.h"
#include "theory/pitch_class_set.h"
#include "theory/timeline.h"

namespace tavrena::path_rules {

// 1.5 x max(0, e - 4) + 0.12 x e by interval e, evaluated at compile time with
// the same operations as transitionCost.
inline constexpr std::size_t kIntervalTableSize = 128;
inline constexpr std::array<double, kIntervalTableSize> kIntervalBase = [] {
  std::array<double, kIntervalTableSize> table{};
  for (std::int32_t e = 0; e < static_cast<std::int32_t>(kIntervalTableSize); ++e)
    table[static_cast<std::size_t>(e)] = 1.5 * std::max(0, e - 4) + 0.12 * e;
  return table;
}();

inline double intervalBase(std::int32_t e) {
  return e < static_cast<std::int32_t>(kIntervalTableSize)
             ? kIntervalBase[static_cast<std::size_t>(e)]
             : 1.5 * std::max(0, e - 4) + 0.12 * e;
}

// The context that moveCost's tail terms depend on.
enum class MoveContext { plain, chordChange, nonChordTone };

// The cost of a move of more than two semitones by interval e, after a leap
// or not, in each context: far moves take none of the terms that look at the
// direction of a step or at p2, so the whole cost is a function of e. The same
// operations as moveCost, in the same order.
inline constexpr std::array<std::array<std::array<double, kIntervalTableSize>, 3>, 2> kFarMoveCost =
    [] {
      std::array<std::array<std::array<double, kIntervalTableSize>, 3>, 2> tables{};
      for (std::size_t leap = 0; leap < 2; ++leap) {
        for (std::size_t context = 0; context < 3; ++context) {
          for (std::int32_t e = 0; e < static_cast<std::int32_t>(kIntervalTableSize); ++e) {
            double cost = kIntervalBase[static_cast<std::size_t>(e)];
            if (leap == 1) cost += 3;
            if (context == 1) cost = cost + std::max(0, e - 2);
            if (context == 2) cost += 2 * std::max(0, e - 2);
            tables[leap][context][static_cast<std::size_t>(e)] = cost;
          }
        }
      }
      return tables;
    }();

// Everything about a slot that does not depend on the path reaching it.
// Buffers keep their capacity from slot to slot.
struct SlotRules {
  std::vector<std::int32_t> candidates;
  std::vector<double> noteCosts;  // by candidate
  std::int32_t low = 0;
  std::int32_t high = 0;
  std::vector<std::int32_t> candidateAt;  // by pitch - low: candidate index or -1

  bool hasPrevious = false;
  PitchClassSet prevScale, prevTones, curScale, curTones;
  int prevColourPc = -1;
  bool chordChanged = false;
  bool runMove = false;
  std::vector<std::int32_t> pool;     // the scale pool of a run move
  std::vector<std::int32_t> runNext;  // by p1 - low: the run's next pitch, or -1
  bool dominant = false;
  int leadingPc = -1;
  int seventhPc = -1;  // -1 when the previous chord has no minor seventh

  std::int32_t candidateIndex(std::int32_t p) const {
    return p >= low && p <= high ? candidateAt[static_cast<std::size_t>(p - low)] : -1;
  }
};

// previous is null for the first slot of the piece.
void fillSlotRules(SlotRules& r, const NoteSlot* previous, const NoteSlot& slot,
                   const std::vector<TimelineSegment>& segments, const SoloSettings& solo);

// What the rules say about leaving one beam entry's last pitch, whatever comes
// next: the few pitches a forbidding rule leaves open, and the flags of the
// cost terms that depend on p1 and p2 only.
struct Departure {
  std::int32_t p2 = -1;
  std::int32_t p1 = -1;
  bool leap = false;           // |p1 - p2| > 4
  bool nonChordTone = false;   // same chord, p1 neither chord tone nor colour
  bool stepNeighbour = false;  // |p1 - p2| is 1 or 2
  bool restricted = false;     // only `allowed` may follow
  std::array<std::int32_t, 2> allowed{};
  std::int32_t allowedCount = 0;

  // Keeps only the allowed pitches that are also in `next`.
  void keepOnly(std::initializer_list<std::int32_t> next);
};

Departure departFrom(const SlotRules& r, std::int32_t p2, std::int32_t p1);

// departFrom(r, p2, p1) from departFrom(r, -1, p1): what a rule forbids after p1
// does not depend on p2, so entries sharing p1 share that part.
inline Departure withPrevious(Departure dep, std::int32_t p2) {
  dep.p2 = p2;
  if (dep.p1 < 0) return dep;
  const std::int32_t jump = std::abs(dep.p1 - p2);
  dep.leap = p2 >= 0 && jump > 4;
  dep.stepNeighbour = p2 >= 0 && (jump == 1 || jump == 2);
  return dep;
}

// kFarMoveCost's row for moves leaving dep (p1 >= 0).
inline const std::array<double, kIntervalTableSize>& farMoveCosts(const SlotRules& r,
                                                                  const Departure& dep) {
  MoveContext context = MoveContext::plain;
  if (r.hasPrevious && r.chordChanged)
    context = MoveContext::chordChange;
  else if (r.hasPrevious && dep.nonChordTone)
    context = MoveContext::nonChordTone;
  return kFarMoveCost[dep.leap ? 1 : 0][static_cast<std::size_t>(context)];
}

// The cost of an allowed move to c.
inline double moveCost(const SlotRules& r, const Departure& dep, std::int32_t c) {
  if (dep.p1 < 0) return 0.0;
  const std::int32_t p1 = dep.p1;
  const std::int32_t p2 = dep.p2;
  const std::int32_t d = c - p1;
  const std::int32_t e = std::abs(d);
  double cost = intervalBase(e);
  if (d == 0) cost += 2.5;
  if (dep.leap) {
    if ((p1 - p2) * d < 0 && e <= 2)
      cost += -1;
    else
      cost += 3;
  }
  if (!r.hasPrevious) return cost;
  if (r.chordChanged) return cost + std::max(0, e - 2);
  if (!dep.nonChordTone) return cost;
  cost += 2 * std::max(0, e - 2);
  if (dep.stepNeighbour && e <= 2 && ((p1 - p2) * d > 0 || c == p2)) cost += -1;
  return cost;
}

}  // namespace tavrena::path_rules
