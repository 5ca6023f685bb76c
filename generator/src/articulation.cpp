#include "generator/articulation.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <set>
#include <stdexcept>

#include "generator/planning.h"
#include "generator/rounding.h"
#include "theory/ticks.h"

namespace tavrena {

namespace {

// Open-string MIDI pitches of strings 1..6 (standard tuning E4 B3 G3 D3 A2 E2).
constexpr std::array<std::int32_t, 6> kOpenStrings = {64, 59, 55, 50, 45, 40};
constexpr std::int32_t kHighestFret = 22;

// A tick for a real that may come from anywhere: refused unless it is a
// finite value well inside the 32-bit range.
std::int32_t tickOf(double value) {
  const double rounded = roundHalfEven(value);
  if (!std::isfinite(rounded) || std::abs(rounded) > 1e9)
    throw std::invalid_argument("note duration");
  return static_cast<std::int32_t>(rounded);
}

std::int32_t midiDataOf(const Json& value, std::int32_t minimum) {
  const auto v = value.get<std::int64_t>();
  if (v < minimum || v > 127) throw std::invalid_argument("note");
  return static_cast<std::int32_t>(v);
}

// Per segment: its pulse and whether it ends a phrase (or the song).
struct SegmentFacts {
  std::int32_t pulse;
  bool phraseFinal;
};

std::vector<SegmentFacts> segmentFacts(const std::vector<TimelineSegment>& segments,
                                       const SoloSettings& solo) {
  std::vector<SegmentFacts> facts;
  facts.reserve(segments.size());
  for (std::size_t k = 0; k < segments.size(); ++k) {
    const TimelineSegment& s = segments[k];
    const bool reachesBarEnd = s.measure_offset_ticks - s.start_tick + s.end_tick ==
                               s.numerator * kTicksPerWhole / s.denominator;
    const bool lastBar = s.measure_index % solo.phrase_bars == solo.phrase_bars - 1;
    facts.push_back({pulseTicks(s), (lastBar && reachesBarEnd) || k + 1 == segments.size()});
  }
  return facts;
}

}  // namespace

std::int32_t guitarStringFor(std::int32_t from, std::int32_t to, bool isBend) {
  const std::int32_t strings = isBend ? 3 : 6;
  const std::int32_t lowestFret = isBend ? 5 : 1;  // a bend needs room for the fingers
  for (std::int32_t i = 1; i <= strings; ++i) {
    const std::int32_t open = kOpenStrings[static_cast<std::size_t>(i - 1)];
    const std::int32_t fretFrom = from - open;
    const std::int32_t fretTo = to - open;
    if (fretFrom >= lowestFret && fretFrom <= kHighestFret && fretTo >= 1 && fretTo <= kHighestFret)
      return i;
  }
  return 0;
}

std::size_t segmentAt(const std::vector<TimelineSegment>& segments, std::int32_t tick) {
  const auto it =
      std::upper_bound(segments.begin(), segments.end(), tick,
                       [](std::int32_t t, const TimelineSegment& s) { return t < s.start_tick; });
  return it == segments.begin() ? 0 : static_cast<std::size_t>(it - segments.begin()) - 1;
}

std::vector<NoteRecord> readNoteRecords(const Json& notes) {
  std::vector<NoteRecord> records;
  records.reserve(notes.size());
  for (const Json& note : notes) {
    const double start = note.at("start").get<double>();
    const double length = note.at("length").get<double>();
    NoteRecord r;
    r.start_tick = tickOf(start * kTicksPerQuarter);
    r.end_tick = tickOf(start * kTicksPerQuarter + length * kTicksPerQuarter);
    // A stored note never starts before the piece or ends before it starts;
    // playing one would leave a note-off ahead of its note-on.
    if (r.start_tick < 0 || r.end_tick < r.start_tick) throw std::invalid_argument("note duration");
    r.pitch = midiDataOf(note.at("pitch"), 0);
    r.velocity = midiDataOf(note.at("velocity"), 1);
    records.push_back(r);
  }
  return records;
}

namespace {

// The timeline as the candidate rules read it.
struct CandidateContext {
  const std::vector<NoteRecord>& notes;
  const std::vector<TimelineSegment>& segments;
  const std::vector<SegmentFacts> facts;
  const SoloSettings& solo;

  bool atPhraseEnd(std::int32_t tick) const {
    const std::size_t k = segmentAt(segments, tick);
    return facts[k].phraseFinal && tick >= segments[k].end_tick - facts[k].pulse;
  }
};

// Bend into note i: a long chord tone at a phrase end or on a melodic peak,
// struck a whole or half tone below on a string that can bend it.
void collectBendIntoNote(const CandidateContext& c, std::size_t i,
                         std::vector<ArticulationCandidate>& out) {
  const std::vector<NoteRecord>& notes = c.notes;
  const NoteRecord& note = notes[i];
  const std::size_t k = segmentAt(c.segments, note.start_tick);
  const TimelineSegment& s = c.segments[k];
  if (!s.tones.contains(note.pitch)) return;
  const bool end = c.atPhraseEnd(note.start_tick);
  const bool peak = i > 0 && i + 1 < notes.size() && notes[i - 1].pitch < note.pitch &&
                    notes[i + 1].pitch < note.pitch;
  if (!end && !peak) return;
  const std::int32_t duration = note.end_tick - note.start_tick;
  const double b = s.bpm;
  if (duration < roundToInt(b * 2.4)) return;
  for (std::int32_t interval : {2, 1}) {
    const std::int32_t from = note.pitch - interval;
    if (from < c.solo.low_note || !s.scale_tones.contains(from)) continue;
    const std::int32_t string = guitarStringFor(from, note.pitch, true);
    if (string == 0) continue;
    out.push_back({i, static_cast<std::int32_t>(k), 9 + 4 * end, string, 160, 1, from,
                   note.start_tick + std::min(duration / 3, roundToInt(b * 1.28)), true});
    return;
  }
}

// Glides from note i into note i + 1, played legato inside one segment: a bend
// by a whole or half tone, then (independently) a slide by 3 to 7 semitones.
void collectGlides(const CandidateContext& c, std::size_t i,
                   std::vector<ArticulationCandidate>& out) {
  const std::vector<NoteRecord>& notes = c.notes;
  const SoloSettings& solo = c.solo;
  const std::size_t n = notes.size();
  const NoteRecord& first = notes[i];
  const NoteRecord& second = notes[i + 1];
  const std::size_t k = segmentAt(c.segments, first.start_tick);
  if (segmentAt(c.segments, second.start_tick) != k) return;
  const TimelineSegment& s = c.segments[k];
  const double b = s.bpm;
  const std::int32_t gap = second.start_tick - first.end_tick;
  if (gap < 0 || gap > roundToInt(b * 0.48)) return;
  if (first.end_tick - first.start_tick < roundToInt(b * 0.6) ||
      second.end_tick - second.start_tick < roundToInt(b * 1.04))
    return;
  if (!s.scale_tones.contains(first.pitch) || !s.scale_tones.contains(second.pitch)) return;

  const std::int32_t x = second.pitch - first.pitch;
  const std::int32_t pulse = c.facts[k].pulse;
  const std::int32_t off = (s.measure_offset_ticks - s.start_tick + second.start_tick) % pulse;
  const std::int32_t dist = std::min(pulse - off, off);
  const bool onGrid = dist <= std::max(1, roundToInt(b * 0.24));
  const bool end = c.atPhraseEnd(second.start_tick);
  const std::int32_t after = i + 2 < n ? notes[i + 2].pitch : second.pitch;
  const bool peak = x > 0 && after < second.pitch;
  const std::int32_t before = i > 0 ? notes[i - 1].pitch : first.pitch;
  const bool flow = x * (first.pitch - before) > 0 || x * (after - second.pitch) > 0;
  const bool targetIsChordTone = s.tones.contains(second.pitch);

  if (solo.bends && (x == 1 || x == 2) && targetIsChordTone && (onGrid || end || peak) &&
      second.end_tick - second.start_tick >= roundToInt(b * 1.44)) {
    const std::int32_t string = guitarStringFor(first.pitch, second.pitch, true);
    if (string != 0)
      out.push_back({i, static_cast<std::int32_t>(k), (onGrid ? 10 : 8) + 4 * end + peak, string,
                     160, 2, first.pitch, second.start_tick, true});
  }
  const std::int32_t distance = std::abs(x);
  if (solo.slides && distance >= 3 && distance <= std::min(solo.pitch_bend_range, 7) &&
      (flow || end) && (targetIsChordTone || onGrid)) {
    const std::int32_t string = guitarStringFor(first.pitch, second.pitch, false);
    if (string != 0)
      out.push_back({i, static_cast<std::int32_t>(k), (onGrid ? 1 : 0) + 5 + 2 * flow + 3 * end,
                     string, 110, 2, first.pitch, second.start_tick, false});
  }
}

}  // namespace

std::vector<ArticulationCandidate> collectArticulationCandidates(
    const std::vector<NoteRecord>& notes, const std::vector<TimelineSegment>& segments,
    const SoloSettings& solo) {
  std::vector<ArticulationCandidate> out;
  if (solo.articulations_per_phrase <= 0 || segments.empty()) return out;
  const CandidateContext context{notes, segments, segmentFacts(segments, solo), solo};
  if (solo.bends)
    for (std::size_t i = 0; i < notes.size(); ++i) collectBendIntoNote(context, i, out);
  for (std::size_t i = 0; i + 1 < notes.size(); ++i) collectGlides(context, i, out);
  return out;
}

std::vector<ArticulationCandidate> selectArticulations(
    std::vector<ArticulationCandidate> candidates, const std::vector<NoteRecord>& notes,
    const std::vector<TimelineSegment>& segments, const SoloSettings& solo) {
  // Stable: full ties keep production order whatever the list's size.
  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const ArticulationCandidate& a, const ArticulationCandidate& b) {
                     if (a.score != b.score) return a.score > b.score;
                     if (a.note != b.note) return a.note < b.note;
                     return a.is_bend && !b.is_bend;
                   });

  const std::int32_t perPhrase = solo.articulations_per_phrase;
  const std::int32_t perKind = std::max(1, (perPhrase + 1) / 2);
  struct PhraseCount {
    std::int32_t total = 0;
    std::int32_t bends = 0;
    std::int32_t slides = 0;
  };
  std::vector<PhraseCount> counts;
  std::vector<char> covered(notes.size(), 0);
  std::multiset<std::int32_t> acceptedStarts;  // first-note starts, for the spacing rule
  std::vector<ArticulationCandidate> accepted;

  for (const ArticulationCandidate& c : candidates) {
    const std::size_t firstNote = static_cast<std::size_t>(c.note);
    const std::size_t lastNote = firstNote + static_cast<std::size_t>(c.span) - 1;
    if (lastNote >= notes.size()) continue;
    bool free = true;
    for (std::size_t i = firstNote; i <= lastNote; ++i) free = free && covered[i] == 0;
    if (!free) continue;

    const std::int32_t phrase =
        segments[static_cast<std::size_t>(c.segment)].measure_index / solo.phrase_bars;
    if (static_cast<std::size_t>(phrase) >= counts.size())
      counts.resize(static_cast<std::size_t>(phrase) + 1);
    PhraseCount& count = counts[static_cast<std::size_t>(phrase)];
    if (count.total >= perPhrase) continue;
    if ((c.is_bend ? count.bends : count.slides) >= perKind) continue;

    // No two articulations start less than a quarter note apart.
    const std::int32_t start = notes[firstNote].start_tick;
    const auto near = acceptedStarts.lower_bound(start - (kTicksPerQuarter - 1));
    if (near != acceptedStarts.end() && *near <= start + (kTicksPerQuarter - 1)) continue;

    for (std::size_t i = firstNote; i <= lastNote; ++i) covered[i] = 1;
    ++count.total;
    ++(c.is_bend ? count.bends : count.slides);
    acceptedStarts.insert(start);
    accepted.push_back(c);
  }
  return accepted;
}

}  // namespace tavrena
