#include "generator/path_rules.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "slot_rules.h"
#include "theory/scales.h"
#include "theory/ticks.h"

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

void fillPitchCandidates(const NoteSlot& slot, const TimelineSegment& segment,
                         const SoloSettings& solo, std::vector<std::int32_t>& out) {
  const bool chromatic = !slot.on_pulse && slot.length <= kTicksPerQuarter / 2 &&
                         evenHit(slot.index_in_segment, solo.chromatic_probability);
  // The allowed pitch classes as a mask, walked with the pitch class in step:
  // this runs for every slot.
  unsigned allowed = 0xFFF;
  if (slot.song_end)
    allowed = 1u << pc(segment.root);
  else if (slot.closing)
    allowed = segment.tones.bits();
  else if (!chromatic)
    allowed = segment.scale_tones.bits() | segment.tones.bits();
  out.clear();
  int pcOfP = pc(solo.low_note);
  for (std::int32_t p = solo.low_note; p <= solo.high_note; ++p) {
    if ((allowed >> pcOfP) & 1u) out.push_back(p);
    pcOfP = pcOfP == 11 ? 0 : pcOfP + 1;
  }
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

}  // namespace

std::vector<std::int32_t> pitchCandidates(const NoteSlot& slot, const TimelineSegment& segment,
                                          const SoloSettings& solo) {
  std::vector<std::int32_t> out;
  fillPitchCandidates(slot, segment, solo, out);
  return out;
}

double noteCost(std::int32_t pitch, const NoteSlot& slot, const TimelineSegment& segment,
                const SoloSettings& solo) {
  return noteCostWith(pitch, slot, segment, solo, colourPitchClass(segment));
}

double transitionCost(std::int32_t p2, std::int32_t p1, std::int32_t c,
                      const NoteSlot* previousSlot, const NoteSlot& slot,
                      const std::vector<TimelineSegment>& segments, const SoloSettings& solo) {
  if (p1 < 0) return 0.0;
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

namespace path_rules {

namespace {

// The note costs of the slot's candidates and where each candidate sits.
void tableCandidates(SlotRules& r, const NoteSlot& slot, const TimelineSegment& sc,
                     const SoloSettings& solo) {
  r.low = solo.low_note;
  r.high = solo.high_note;
  fillPitchCandidates(slot, sc, solo, r.candidates);
  const int colourPc = colourPitchClass(sc);
  r.noteCosts.clear();
  r.candidateAt.assign(static_cast<std::size_t>(std::max(0, r.high - r.low + 1)), -1);
  for (std::size_t i = 0; i < r.candidates.size(); ++i) {
    r.noteCosts.push_back(noteCostWith(r.candidates[i], slot, sc, solo, colourPc));
    r.candidateAt[static_cast<std::size_t>(r.candidates[i] - r.low)] = static_cast<std::int32_t>(i);
  }
}

// By pool pitch: the pitch a run moving in `direction` goes to next, turning at
// the range edges.
void tableRunSteps(SlotRules& r, const TimelineSegment& sc, std::int32_t direction,
                   const SoloSettings& solo) {
  fillScalePool(sc, solo, r.pool);
  const auto size = static_cast<std::int32_t>(r.pool.size());
  r.runNext.assign(r.candidateAt.size(), -1);
  for (std::int32_t k = 0; k < size; ++k) {
    std::int32_t s = direction;
    if (k + s < 0 || k + s >= size) s = -s;
    if (k + s < 0 || k + s >= size) continue;
    r.runNext[static_cast<std::size_t>(r.pool[static_cast<std::size_t>(k)] - r.low)] =
        r.pool[static_cast<std::size_t>(k + s)];
  }
}

}  // namespace

void fillSlotRules(SlotRules& r, const NoteSlot* previous, const NoteSlot& slot,
                   const std::vector<TimelineSegment>& segments, const SoloSettings& solo) {
  const TimelineSegment& sc = segments[static_cast<std::size_t>(slot.segment)];
  tableCandidates(r, slot, sc, solo);
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
  if (r.runMove) tableRunSteps(r, sc, slot.direction, solo);
  r.dominant = r.chordChanged && pc(sp.root - sc.root) == 7 && sp.tones.contains(sp.root + 4);
  r.leadingPc = pc(sp.root + 4);
  r.seventhPc = sp.tones.contains(sp.root + 10) ? pc(sp.root + 10) : -1;
}

void Departure::keepOnly(std::initializer_list<std::int32_t> next) {
  std::array<std::int32_t, 2> kept{};
  std::int32_t count = 0;
  if (!restricted) {
    for (std::int32_t q : next) kept[static_cast<std::size_t>(count++)] = q;
  } else {
    for (std::int32_t i = 0; i < allowedCount; ++i)
      for (std::int32_t q : next)
        if (allowed[static_cast<std::size_t>(i)] == q) kept[static_cast<std::size_t>(count++)] = q;
  }
  allowed = kept;
  allowedCount = count;
  restricted = true;
}

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

}  // namespace path_rules

}  // namespace tavrena
