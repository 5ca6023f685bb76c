#include "generator/path_search.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <limits>
#include <stdexcept>

#include "generator/ticks.h"
#include "theory/scales.h"

namespace tavrena {

namespace {

constexpr double kForbidden = std::numeric_limits<double>::infinity();

int pc(std::int32_t pitch) {
  return PitchClassSet::mod12(pitch);
}

// Pitch class of the colour tone of the segment's mode, or -1.
int colourPitchClass(const TimelineSegment& segment) {
  const int v = modeColorTone(segment.mode);
  return v >= 0 ? pc(segment.mode_root + v) : -1;
}

double noteCostWith(std::int32_t p, const NoteSlot& slot, const TimelineSegment& segment,
                    const SoloSettings& solo, int colourPc) {
  const std::int32_t d = std::abs(p - slot.target_pitch);
  double cost = 0.65 * d;
  const bool chordTone = segment.tones.contains(p);
  const bool scaleTone = segment.scale_tones.contains(p);
  if (!chordTone) {
    cost += slot.on_pulse ? (solo.chord_target_probability * 5 + 1) * slot.accent : 0.3;
    cost += 2 * std::max(0.0, slot.length * kQuarterPerTick - 0.5);
    // The fourth over a major chord is the avoid note.
    if (segment.tones.contains(segment.root + 4) && pc(p - segment.root) == 5)
      cost += slot.on_pulse ? 4 : 1;
  }
  if (slot.colour_slot && colourPc >= 0 && pc(p) == colourPc) cost += -8 * solo.color_probability;
  if (!scaleTone && !chordTone) cost += 1.5;
  if (slot.closing && pc(p) == segment.root) cost += -1.5;
  return cost;
}

// Interval terms shared by every move, before the context rules.
double intervalCost(std::int32_t p2, std::int32_t p1, std::int32_t c) {
  const std::int32_t d = c - p1;
  const std::int32_t e = std::abs(d);
  double cost = 1.5 * std::max(0, e - 4) + 0.12 * e;
  if (d == 0) cost += 2.5;
  if (p2 >= 0 && std::abs(p1 - p2) > 4) {
    if ((p1 - p2) * d < 0 && e <= 2)
      cost += -1;  // a step back against a leap
    else
      cost += 3;
  }
  return cost;
}

// 1.5 x max(0, e - 4) + 0.12 x e by interval e, evaluated at compile time with
// the same operations as intervalCost.
constexpr std::size_t kIntervalTableSize = 128;
constexpr std::array<double, kIntervalTableSize> kIntervalBase = [] {
  std::array<double, kIntervalTableSize> table{};
  for (std::int32_t e = 0; e < static_cast<std::int32_t>(kIntervalTableSize); ++e)
    table[static_cast<std::size_t>(e)] = 1.5 * std::max(0, e - 4) + 0.12 * e;
  return table;
}();

double intervalBase(std::int32_t e) {
  return e < static_cast<std::int32_t>(kIntervalTableSize)
             ? kIntervalBase[static_cast<std::size_t>(e)]
             : 1.5 * std::max(0, e - 4) + 0.12 * e;
}

// Everything about a slot that does not depend on the path reaching it,
// computed once per slot of the search. Buffers are reused from slot to slot.
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
  std::vector<std::int32_t> runNext;  // by p1 - low: the run's next pitch, or -1
  bool dominant = false;
  int leadingPc = -1;
  int seventhPc = -1;  // -1 when the previous chord has no minor seventh

  std::int32_t candidateIndex(std::int32_t p) const {
    return p >= low && p <= high ? candidateAt[static_cast<std::size_t>(p - low)] : -1;
  }
};

void fillSlotRules(SlotRules& r, const NoteSlot* previous, const NoteSlot& slot,
                   const std::vector<TimelineSegment>& segments, const SoloSettings& solo) {
  const TimelineSegment& sc = segments[static_cast<std::size_t>(slot.segment)];
  r.low = solo.low_note;
  r.high = solo.high_note;
  r.candidates = pitchCandidates(slot, sc, solo);
  const int colourPc = colourPitchClass(sc);
  r.noteCosts.clear();
  r.candidateAt.assign(static_cast<std::size_t>(std::max(0, r.high - r.low + 1)), -1);
  for (std::size_t i = 0; i < r.candidates.size(); ++i) {
    r.noteCosts.push_back(noteCostWith(r.candidates[i], slot, sc, solo, colourPc));
    r.candidateAt[static_cast<std::size_t>(r.candidates[i] - r.low)] = static_cast<std::int32_t>(i);
  }
  r.hasPrevious = previous != nullptr;
  r.runMove = false;
  r.chordChanged = false;
  r.dominant = false;
  if (previous == nullptr) return;

  const TimelineSegment& sp = segments[static_cast<std::size_t>(previous->segment)];
  r.prevScale = sp.scale_tones;
  r.prevTones = sp.tones;
  r.curScale = sc.scale_tones;
  r.curTones = sc.tones;
  r.prevColourPc = colourPitchClass(sp);
  r.chordChanged =
      previous->measure_index != slot.measure_index || previous->segment != slot.segment;
  r.runMove = previous->run && slot.run && !r.chordChanged;
  if (r.runMove) {
    const std::vector<std::int32_t> pool = scalePool(sc, solo);
    const auto size = static_cast<std::int32_t>(pool.size());
    r.runNext.assign(r.candidateAt.size(), -1);
    for (std::int32_t k = 0; k < size; ++k) {
      std::int32_t s = slot.direction;
      if (k + s < 0 || k + s >= size) s = -s;  // the run turns at the range edge
      if (k + s < 0 || k + s >= size) continue;
      r.runNext[static_cast<std::size_t>(pool[static_cast<std::size_t>(k)] - r.low)] =
          pool[static_cast<std::size_t>(k + s)];
    }
  }
  r.dominant = r.chordChanged && pc(sp.root - sc.root) == 7 && sp.tones.contains(sp.root + 4);
  r.leadingPc = pc(sp.root + 4);
  r.seventhPc = sp.tones.contains(sp.root + 10) ? pc(sp.root + 10) : -1;
}

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
  void keepOnly(std::initializer_list<std::int32_t> next) {
    std::array<std::int32_t, 2> kept{};
    std::int32_t count = 0;
    if (!restricted) {
      for (std::int32_t q : next) kept[static_cast<std::size_t>(count++)] = q;
    } else {
      for (std::int32_t i = 0; i < allowedCount; ++i)
        for (std::int32_t q : next)
          if (allowed[static_cast<std::size_t>(i)] == q)
            kept[static_cast<std::size_t>(count++)] = q;
    }
    allowed = kept;
    allowedCount = count;
    restricted = true;
  }
};

Departure departFrom(const SlotRules& r, std::int32_t p2, std::int32_t p1) {
  Departure dep;
  dep.p2 = p2;
  dep.p1 = p1;
  if (p1 < 0) return dep;
  const std::int32_t jump = std::abs(p1 - p2);
  dep.leap = p2 >= 0 && jump > 4;
  dep.stepNeighbour = p2 >= 0 && (jump == 1 || jump == 2);
  if (!r.hasPrevious) return dep;

  // A chromatic note resolves by a semitone into the scale.
  if (!r.prevScale.contains(p1) && !r.prevTones.contains(p1)) {
    const bool down = r.curScale.contains(p1 - 1);
    const bool up = r.curScale.contains(p1 + 1);
    if (down && up)
      dep.keepOnly({p1 - 1, p1 + 1});
    else if (down)
      dep.keepOnly({p1 - 1});
    else if (up)
      dep.keepOnly({p1 + 1});
    else
      dep.keepOnly({});
  }
  if (r.runMove) {
    const std::int32_t next =
        p1 >= r.low && p1 <= r.high ? r.runNext[static_cast<std::size_t>(p1 - r.low)] : -1;
    if (next < 0)
      dep.keepOnly({});
    else
      dep.keepOnly({next});
  }
  if (r.dominant) {
    if (pc(p1) == r.leadingPc && r.candidateIndex(p1 + 1) >= 0) {
      dep.keepOnly({p1 + 1});
    } else if (pc(p1) == r.seventhPc) {
      auto resolves = [&](std::int32_t q) {
        return q >= r.low && q <= r.high && r.curTones.contains(q);
      };
      const bool one = resolves(p1 - 1);
      const bool two = resolves(p1 - 2);
      if (one && two)
        dep.keepOnly({p1 - 2, p1 - 1});
      else if (one)
        dep.keepOnly({p1 - 1});
      else if (two)
        dep.keepOnly({p1 - 2});
    }
  }
  dep.nonChordTone = !r.chordChanged && !r.prevTones.contains(p1) &&
                     !(r.prevColourPc >= 0 && pc(p1) == r.prevColourPc);
  return dep;
}

// The cost of an allowed move: the same terms, in the same order, as transitionCost.
double moveCost(const SlotRules& r, const Departure& dep, std::int32_t c) {
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

// One proposed extension of a beam entry by one pitch.
struct Extension {
  double cost;
  std::int32_t parent;      // index into the current beam
  std::int32_t parentRank;  // lexicographic rank of the parent's pitch list
  std::int32_t pitch;
};

// (cost, pitch list) order; a pitch list compares as (parent's list, pitch).
bool cheaper(const Extension& a, const Extension& b) {
  if (a.cost != b.cost) return a.cost < b.cost;
  if (a.parentRank != b.parentRank) return a.parentRank < b.parentRank;
  return a.pitch < b.pitch;
}

struct PathStep {
  std::int32_t parent;  // previous step, -1 at the start
  std::int32_t pitch;
};

}  // namespace

std::vector<std::int32_t> pitchCandidates(const NoteSlot& slot, const TimelineSegment& segment,
                                          const SoloSettings& solo) {
  const bool chromatic = !slot.on_pulse && slot.length <= 240 &&
                         evenHit(slot.index_in_segment, solo.chromatic_probability);
  std::vector<std::int32_t> out;
  for (std::int32_t p = solo.low_note; p <= solo.high_note; ++p) {
    bool allowed = false;
    if (slot.song_end)
      allowed = pc(p) == pc(segment.root);
    else if (slot.closing)
      allowed = segment.tones.contains(p);
    else
      allowed = chromatic || segment.scale_tones.contains(p) || segment.tones.contains(p);
    if (allowed) out.push_back(p);
  }
  return out;
}

double noteCost(std::int32_t pitch, const NoteSlot& slot, const TimelineSegment& segment,
                const SoloSettings& solo) {
  return noteCostWith(pitch, slot, segment, solo, colourPitchClass(segment));
}

double transitionCost(std::int32_t p2, std::int32_t p1, std::int32_t c,
                      const NoteSlot* previousSlot, const NoteSlot& slot,
                      const std::vector<TimelineSegment>& segments, const SoloSettings& solo) {
  // Written step by step as the rules read; the search evaluates the same rules
  // from per-slot tables (SlotRules), and the tests hold the two together.
  if (p1 < 0) return 0.0;
  const std::int32_t d = c - p1;
  const std::int32_t e = std::abs(d);
  double cost = intervalCost(p2, p1, c);
  if (previousSlot == nullptr) return cost;

  const TimelineSegment& sp = segments[static_cast<std::size_t>(previousSlot->segment)];
  const TimelineSegment& sc = segments[static_cast<std::size_t>(slot.segment)];
  const bool changed =
      previousSlot->measure_index != slot.measure_index || previousSlot->segment != slot.segment;

  // A chromatic note resolves by a semitone into the scale.
  if (!sp.scale_tones.contains(p1) && !sp.tones.contains(p1)) {
    if (!(e == 1 && sc.scale_tones.contains(c))) return kForbidden;
  }
  // Scale runs move to the neighbouring pool pitch.
  if (previousSlot->run && slot.run && !changed) {
    const std::vector<std::int32_t> pool = scalePool(sc, solo);
    const auto it = std::find(pool.begin(), pool.end(), p1);
    if (it == pool.end() || !sc.scale_tones.contains(c)) return kForbidden;
    const auto size = static_cast<std::int32_t>(pool.size());
    const auto k = static_cast<std::int32_t>(it - pool.begin());
    std::int32_t s = slot.direction;
    if (k + s < 0 || k + s >= size) s = -s;
    if (k + s < 0 || k + s >= size || c != pool[static_cast<std::size_t>(k + s)]) return kForbidden;
  }
  if (changed) {
    // Dominant to its tonic: the leading tone rises, the seventh falls.
    if (pc(sp.root - sc.root) == 7 && sp.tones.contains(sp.root + 4)) {
      const std::vector<std::int32_t> candidates = pitchCandidates(slot, sc, solo);
      if (pc(p1) == pc(sp.root + 4) &&
          std::find(candidates.begin(), candidates.end(), p1 + 1) != candidates.end()) {
        if (c != p1 + 1) return kForbidden;
      } else if (pc(p1) == pc(sp.root + 10) && sp.tones.contains(sp.root + 10)) {
        std::vector<std::int32_t> resolutions;
        for (std::int32_t q : {p1 - 1, p1 - 2})
          if (q >= solo.low_note && q <= solo.high_note && sc.tones.contains(q))
            resolutions.push_back(q);
        if (!resolutions.empty() &&
            std::find(resolutions.begin(), resolutions.end(), c) == resolutions.end())
          return kForbidden;
      }
    }
    return cost + std::max(0, e - 2);
  }
  const int v = modeColorTone(sp.mode);
  if (sp.tones.contains(p1) || (v >= 0 && pc(p1) == pc(sp.mode_root + v))) return cost;
  // p1 was a non-chord tone: it should move on by step.
  cost += 2 * std::max(0, e - 2);
  if (p2 >= 0) {
    const std::int32_t j = std::abs(p1 - p2);
    if ((j == 1 || j == 2) && e <= 2 && ((p1 - p2) * d > 0 || c == p2))
      cost += -1;  // passing or neighbour tone
  }
  return cost;
}

std::vector<std::int32_t> searchMelodicPath(const std::vector<NoteSlot>& slots, std::size_t first,
                                            std::size_t end,
                                            const std::vector<TimelineSegment>& segments,
                                            std::int32_t prev2, std::int32_t prev1,
                                            const SoloSettings& solo,
                                            const std::atomic<bool>& cancelFlag) {
  std::vector<PathStep> steps;  // every kept path shares its prefix here
  std::vector<BeamEntry> beam{BeamEntry{0.0, prev2, prev1, PitchPath{}}};
  std::vector<BeamEntry> nextBeam;
  std::vector<Extension> extensions;
  std::vector<std::int32_t> table;        // (prev1 id, candidate) -> extension index
  std::vector<std::int32_t> prev1Values;  // distinct prev1 of the beam
  std::vector<std::int32_t> prev1Ids;     // by beam entry
  std::vector<std::size_t> byList;
  const NoteSlot* previous = first > 0 ? &slots[first - 1] : nullptr;

  SlotRules rules;
  for (std::size_t a = first; a < end; ++a) {
    checkCancel(cancelFlag);
    const NoteSlot& slot = slots[a];
    fillSlotRules(rules, previous, slot, segments, solo);
    const std::size_t candidateCount = rules.candidates.size();

    // Extensions are merged by (prev1, new pitch): the same last two pitches
    // make the same future, so only the best such path matters.
    prev1Values.clear();
    prev1Ids.clear();
    for (const BeamEntry& entry : beam) {
      auto it = std::find(prev1Values.begin(), prev1Values.end(), entry.prev1);
      if (it == prev1Values.end()) it = prev1Values.insert(prev1Values.end(), entry.prev1);
      prev1Ids.push_back(static_cast<std::int32_t>(it - prev1Values.begin()));
    }
    table.assign(prev1Values.size() * candidateCount, -1);
    extensions.clear();

    for (std::size_t b = 0; b < beam.size(); ++b) {
      const BeamEntry& entry = beam[b];
      const std::size_t row = static_cast<std::size_t>(prev1Ids[b]) * candidateCount;
      const Departure dep = departFrom(rules, entry.prev2, entry.prev1);
      // The candidates this entry may move to: all, or the few a rule leaves.
      std::array<std::int32_t, 2> only{};
      std::size_t count = candidateCount;
      if (dep.restricted) {
        count = 0;
        for (std::int32_t i = 0; i < dep.allowedCount; ++i) {
          const std::int32_t ci = rules.candidateIndex(dep.allowed[static_cast<std::size_t>(i)]);
          if (ci >= 0) only[count++] = ci;
        }
      }
      for (std::size_t k = 0; k < count; ++k) {
        const std::size_t ci = dep.restricted ? static_cast<std::size_t>(only[k]) : k;
        const std::int32_t t = rules.candidates[ci];
        const double w = moveCost(rules, dep, t);
        const double total = (rules.noteCosts[ci] + entry.cost) + w;
        std::int32_t& held = table[row + ci];
        if (held < 0) {
          held = static_cast<std::int32_t>(extensions.size());
          extensions.push_back({total, static_cast<std::int32_t>(b), entry.pitches.rank, t});
          continue;
        }
        Extension& ext = extensions[static_cast<std::size_t>(held)];
        if (total < ext.cost || (total == ext.cost && entry.pitches.rank < ext.parentRank))
          ext = {total, static_cast<std::int32_t>(b), entry.pitches.rank, t};
      }
    }
    if (extensions.empty()) throw std::runtime_error(kNoMelodicPath);

    const std::size_t keep = std::min(kBeamWidth, extensions.size());
    std::partial_sort(extensions.begin(), extensions.begin() + static_cast<std::ptrdiff_t>(keep),
                      extensions.end(),
                      [](const Extension& x, const Extension& y) { return cheaper(x, y); });

    // Lexicographic ranks of the kept lists, for the next step's comparisons.
    byList.resize(keep);
    for (std::size_t i = 0; i < keep; ++i) byList[i] = i;
    std::sort(byList.begin(), byList.end(), [&](std::size_t x, std::size_t y) {
      const Extension& ex = extensions[x];
      const Extension& ey = extensions[y];
      if (ex.parentRank != ey.parentRank) return ex.parentRank < ey.parentRank;
      return ex.pitch < ey.pitch;
    });
    nextBeam.resize(keep);
    for (std::size_t rank = 0; rank < keep; ++rank) {
      const std::size_t i = byList[rank];
      const Extension& ext = extensions[i];
      const BeamEntry& parent = beam[static_cast<std::size_t>(ext.parent)];
      const auto node = static_cast<std::int32_t>(steps.size());
      steps.push_back({parent.pitches.node, ext.pitch});
      nextBeam[i] = {ext.cost, parent.prev1, ext.pitch,
                     PitchPath{node, static_cast<std::int32_t>(rank)}};
    }
    beam.swap(nextBeam);
    previous = &slot;
  }

  std::vector<std::int32_t> pitches(end > first ? end - first : 0);
  std::int32_t node = beam.front().pitches.node;
  for (std::size_t i = pitches.size(); i-- > 0;) {
    pitches[i] = steps[static_cast<std::size_t>(node)].pitch;
    node = steps[static_cast<std::size_t>(node)].parent;
  }
  return pitches;
}

}  // namespace tavrena
