#include "generator/planning.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>

#include "generator/phrase_tables.h"
#include "generator/rounding.h"

namespace tavrena {

bool evenHit(std::int32_t n, double p) {
  const double x = static_cast<double>(n);
  return std::floor((x + 1.0) * p + 1e-9) > std::floor(x * p + 1e-9);
}

std::int32_t pulseTicks(const TimelineSegment& segment) {
  const std::int32_t beat = kTicksPerWhole / segment.denominator;
  const bool compound =
      segment.denominator == 8 && segment.numerator >= 6 && segment.numerator % 3 == 0;
  return compound ? 3 * beat : beat;
}

std::vector<std::int32_t> scalePool(const TimelineSegment& segment, const SoloSettings& solo) {
  std::vector<std::int32_t> pool;
  fillScalePool(segment, solo, pool);
  return pool;
}

void fillScalePool(const TimelineSegment& segment, const SoloSettings& solo,
                   std::vector<std::int32_t>& out) {
  out.clear();
  for (std::int32_t p = solo.low_note; p <= solo.high_note; ++p)
    if (segment.scale_tones.contains(p)) out.push_back(p);
}

namespace {

std::vector<std::int32_t> unitsOf(const RhythmCell& cell) {
  return {cell.units.begin(), cell.units.begin() + cell.count};
}

std::vector<std::int32_t> concat(std::vector<std::int32_t> a, const std::vector<std::int32_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The bar's motif: the plan's, transformed in the answer half and, in varied
// bars, mirrored.
std::vector<std::int32_t> barMotif(const PhrasePlan& plan, std::int32_t m, bool answer,
                                   const SoloSettings& solo) {
  std::vector<std::int32_t> motif = plan.motif;
  if (answer) {
    switch (plan.response) {
      case 0:
        std::reverse(motif.begin(), motif.end());
        break;
      case 1:
        for (std::int32_t& v : motif) v = -v;
        break;
      case 2:
        for (std::int32_t& v : motif) v += 2 * plan.direction;
        break;
      default: {
        motif.resize(4);
        const std::vector<std::int32_t> head = motif;
        motif.insert(motif.end(), head.begin(), head.end());
        break;
      }
    }
  }
  if (m != 0 && evenHit(m + plan.variation_phase, solo.motif_variation))
    for (std::int32_t& v : motif) v = -v;
  return motif;
}

double contourShape(std::int32_t arch, double x) {
  switch (arch) {
    case 0:
      return x;
    case 1:
      return 1.0 - x;
    case 2:
      return std::sin(std::numbers::pi * x);
    default:
      return 1.0 - std::sin(std::numbers::pi * x);
  }
}

}  // namespace

PhrasePlan planPhrase(SeededStreams& streams, std::int32_t phrase) {
  PhrasePlan plan;
  const auto& cellA =
      kMelodicCells[static_cast<std::size_t>(streams.draw(phrase, "melodic-cell-a", 8))];
  const auto& cellB =
      kMelodicCells[static_cast<std::size_t>(streams.draw(phrase, "melodic-cell-b", 8))];
  const std::int32_t step =
      kSequenceSteps[static_cast<std::size_t>(streams.draw(phrase, "sequence-step", 4))];
  plan.motif.assign(cellA.begin(), cellA.end());
  for (std::int32_t v : cellB) plan.motif.push_back(v + step);

  const auto ra =
      unitsOf(kRhythmCells[static_cast<std::size_t>(streams.draw(phrase, "rhythm-a", 12))]);
  const auto rb =
      unitsOf(kRhythmCells[static_cast<std::size_t>(streams.draw(phrase, "rhythm-b", 12))]);
  plan.call_rhythm = concat(ra, rb);
  plan.response_rhythm = concat(rb, ra);

  plan.response = streams.draw(phrase, "response", 4);
  plan.stretch =
      kResponseStretches[static_cast<std::size_t>(streams.draw(phrase, "response-stretch", 3))];
  plan.register_ = kRegisters[static_cast<std::size_t>(streams.draw(phrase, "register", 4))];
  plan.arch = streams.draw(phrase, "arch", 4);
  plan.direction = kDirections[static_cast<std::size_t>(streams.draw(phrase, "direction", 2))];
  plan.run_length = kRunLengths[static_cast<std::size_t>(streams.draw(phrase, "run-length", 3))];

  plan.triplet_phase = streams.draw(phrase, "triplets", 32);
  plan.syncopation_phase = streams.draw(phrase, "syncopation", 32);
  plan.run_phase = streams.draw(phrase, "runs", 32);
  plan.variation_phase = streams.draw(phrase, "variation", 32);
  return plan;
}

namespace {

// What the phrase plan and the bar's position decide for every slot of a segment.
struct BarShape {
  std::int32_t m = 0;  // bar within the phrase
  bool answer = false;
  std::vector<std::int32_t> motif;
  std::vector<std::int32_t> rhythm;  // rhythm units, cycled
  std::int32_t beat = 0;
  std::int32_t pulse = 0;
  std::int32_t length = 0;  // of the segment, ticks
  bool runBar = false;
  std::int32_t unit = 1;  // ticks per rhythm unit
  std::int32_t multiplier = 1;
  std::int32_t direction = 1;
  bool phraseFinal = false;
  bool finalSegment = false;  // phrase-final or song-final: ends on a closing slot
};

// The bar's rhythm: the plan's, all triplets in triplet bars, or with its
// first long note split in syncopated bars.
std::vector<std::int32_t> barRhythm(const PhrasePlan& plan, std::int32_t m, bool answer,
                                    bool triplet, const SoloSettings& solo) {
  if (triplet) return unitsOf(kTripletRhythm);
  std::vector<std::int32_t> rhythm = answer ? plan.response_rhythm : plan.call_rhythm;
  if (evenHit(m + plan.syncopation_phase, solo.syncopation)) {
    // A long note becomes a short one plus a longer one.
    for (std::size_t j = 0; j + 1 < rhythm.size(); ++j) {
      if (rhythm[j] >= 2) {
        rhythm[j + 1] += rhythm[j] - 1;
        rhythm[j] = 1;
        break;
      }
    }
  }
  return rhythm;
}

BarShape shapeBar(const PhrasePlan& plan, const TimelineSegment& s, bool songFinal,
                  const SoloSettings& solo) {
  BarShape bar;
  bar.m = s.measure_index % solo.phrase_bars;
  bar.answer = bar.m >= std::max(1, solo.phrase_bars / 2);
  bar.motif = barMotif(plan, bar.m, bar.answer, solo);
  bar.beat = kTicksPerWhole / s.denominator;
  bar.pulse = pulseTicks(s);
  bar.length = s.end_tick - s.start_tick;

  const bool triplet = evenHit(bar.m + plan.triplet_phase, solo.triplet_probability);
  bar.runBar = evenHit(bar.m + plan.run_phase, solo.run_probability);
  bar.unit = std::max(1, triplet ? bar.pulse / 3 : bar.beat / 4);
  bar.multiplier = solo.density >= 0.7 ? 1 : solo.density >= 0.35 ? 2 : 4;
  if (bar.answer && solo.density < 0.9) bar.multiplier *= plan.stretch;
  bar.direction = bar.answer ? -plan.direction : plan.direction;
  bar.rhythm = barRhythm(plan, bar.m, bar.answer, triplet, solo);

  bar.phraseFinal = bar.m == solo.phrase_bars - 1 &&
                    s.measure_offset_ticks + bar.length == bar.beat * s.numerator;
  bar.finalSegment = bar.phraseFinal || songFinal;
  return bar;
}

// Index into the scale pool of the pitch nearest the phrase's contour at bar m.
std::int32_t contourAnchor(const std::vector<std::int32_t>& pool, const PhrasePlan& plan,
                           std::int32_t m, const SoloSettings& solo) {
  const double x = (m + 0.5) / solo.phrase_bars;
  const double target = solo.low_note + (solo.high_note - solo.low_note) *
                                            (0.25 * contourShape(plan.arch, x) + plan.register_);
  std::int32_t anchor = 0;
  for (std::int32_t i = 1; i < static_cast<std::int32_t>(pool.size()); ++i)
    if (std::abs(pool[static_cast<std::size_t>(i)] - target) <
        std::abs(pool[static_cast<std::size_t>(anchor)] - target))
      anchor = i;
  return anchor;
}

// Length of slot i at `elapsed` ticks into the segment.
std::int32_t slotLength(const BarShape& bar, std::int32_t i, std::int32_t elapsed, bool isRun,
                        bool closing, bool songFinal, const SoloSettings& solo) {
  const std::int32_t remaining = bar.length - elapsed;
  std::int32_t len = 0;
  if (isRun) {
    len = std::min(bar.unit, remaining);
  } else {
    const auto units =
        bar.rhythm[static_cast<std::size_t>(i % static_cast<std::int32_t>(bar.rhythm.size()))];
    len = std::min(bar.multiplier * units * bar.unit, remaining);
    if (closing) len = remaining;
  }
  // Leave exactly one pulse for the closing note.
  if (bar.finalSegment && !closing) len = std::min(len, remaining - bar.pulse);
  // Breath before the next phrase.
  if (bar.phraseFinal && !songFinal && closing)
    len = remaining - std::min(remaining - 1, roundToInt(bar.pulse * solo.rest_probability));
  return len;
}

double accentAt(const BarShape& bar, const TimelineSegment& s, std::int32_t elapsed, bool onPulse) {
  if (elapsed == 0) return 1.0;
  if (s.numerator == 4 && s.measure_offset_ticks + elapsed == 2 * bar.beat) return 0.8;
  return onPulse ? 0.55 : 0.15;
}

}  // namespace

void planSegmentSlots(const PhrasePlan& plan, const TimelineSegment& s, std::int32_t segmentIndex,
                      bool songFinal, const SoloSettings& solo, std::vector<NoteSlot>& out) {
  const BarShape bar = shapeBar(plan, s, songFinal, solo);
  const auto rhythmSize = static_cast<std::int32_t>(bar.rhythm.size());
  const auto motifSize = static_cast<std::int32_t>(bar.motif.size());
  const std::vector<std::int32_t> pool = scalePool(s, solo);
  const auto poolSize = static_cast<std::int32_t>(pool.size());
  const std::int32_t anchor = contourAnchor(pool, plan, bar.m, solo);

  std::int32_t elapsed = 0;
  std::int32_t i = 0;
  while (elapsed < bar.length) {
    const bool closing = bar.finalSegment && bar.length - elapsed <= bar.pulse;
    const bool isRun = bar.runBar && i < plan.run_length && !closing;
    const std::int32_t len = slotLength(bar, i, elapsed, isRun, closing, songFinal, solo);

    const bool onPulse = (s.measure_offset_ticks + elapsed) % bar.pulse == 0;
    // A rest in place of the last note of the rhythm cycle, off the pulse.
    if (i > 0 && !isRun && !closing && elapsed + len < bar.length && !onPulse &&
        i % rhythmSize == rhythmSize - 1 && solo.rest_probability >= 0.25) {
      elapsed += len;
      ++i;
      continue;
    }

    const std::int32_t step =
        isRun ? i * bar.direction : bar.motif[static_cast<std::size_t>(i % motifSize)] + bar.m % 2;
    NoteSlot slot;
    slot.start = s.start_tick + elapsed;
    slot.length = len;
    slot.segment = segmentIndex;
    slot.measure_index = s.measure_index;
    slot.target_pitch = pool[static_cast<std::size_t>(std::clamp(anchor + step, 0, poolSize - 1))];
    slot.index_in_segment = i;
    slot.direction = bar.direction;
    slot.on_pulse = onPulse;
    slot.closing = closing;
    slot.song_end = songFinal && closing;
    slot.run = isRun;
    slot.colour_slot = i == 2 && !isRun;
    slot.accent = accentAt(bar, s, elapsed, onPulse);
    out.push_back(slot);

    if (closing) break;
    elapsed += len;
    ++i;
  }
}

std::vector<NoteSlot> planNoteSlots(const Json& normalised,
                                    const std::vector<TimelineSegment>& segments,
                                    const SoloSettings& solo, const std::atomic<bool>& cancelFlag) {
  const Json& seedValue = normalised.at("seed");
  const std::int64_t seed = seedValue.is_null() ? 0 : seedValue.get<std::int64_t>();
  SeededStreams streams(seed);

  std::vector<NoteSlot> slots;
  PhrasePlan plan;
  for (std::size_t k = 0; k < segments.size(); ++k) {
    checkCancel(cancelFlag);
    const std::int32_t phrase = segments[k].measure_index / solo.phrase_bars;
    if (k == 0 || phrase != segments[k - 1].measure_index / solo.phrase_bars)
      plan = planPhrase(streams, phrase);
    planSegmentSlots(plan, segments[k], static_cast<std::int32_t>(k), k + 1 == segments.size(),
                     solo, slots);
  }
  return slots;
}

}  // namespace tavrena
