#include "generator/render.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "generator/articulation.h"
#include "generator/event_order.h"
#include "generator/midi_bytes.h"
#include "generator/rounding.h"
#include "theory/config.h"
#include "theory/timeline.h"

namespace tavrena {

namespace {

MidiEvent centreBend(std::int32_t tick, std::int32_t order) {
  return {tick, order, {kStatusPitchBend, 0x00, 0x40}};
}

void appendSetup(std::vector<MidiEvent>& events, const SoloSettings& solo) {
  const auto range = static_cast<std::uint8_t>(solo.pitch_bend_range);
  events.push_back(
      {0, kOrderProgram, {kStatusProgramChange, static_cast<std::uint8_t>(solo.program)}});
  events.push_back({0, kOrderSetup, {kStatusControlChange, 0x07, 100}});  // volume
  events.push_back({0, kOrderSetup, {kStatusControlChange, 0x0A, 64}});   // pan centre
  for (const ControlChange& cc : bendRangeControllers(range))
    events.push_back({0, kOrderSetup, {kStatusControlChange, cc.controller, cc.value}});
}

// The glide of an accepted articulation: a smooth step from the struck pitch to
// the target, as pitch-bend points, followed by its marker text.
void appendGlide(std::vector<MidiEvent>& events, const ArticulationCandidate& a,
                 const NoteRecord& note, std::int32_t on, std::int32_t targetPitch, double bpm,
                 const SoloSettings& solo) {
  const double ticksPerMs = bpm * 0.008;
  const std::int32_t target = a.target_tick;
  const std::int32_t glideStart = std::min(std::max(note.start_tick + roundToInt(35 * ticksPerMs),
                                                    target - roundToInt(a.glide_ms * ticksPerMs)),
                                           target - 1);
  const std::int32_t length = target - glideStart;
  const auto steps = static_cast<std::int32_t>(
      std::clamp(std::ceil(length / std::max(5 * ticksPerMs, 1.0)), 2.0, 64.0));
  const std::int32_t delta = targetPitch - on;
  for (std::int32_t i = 0; i <= steps; ++i) {
    const double t = i * (1.0 / steps);
    const std::int32_t tick = glideStart + roundToInt(t * length);
    const std::int32_t value = std::clamp(
        roundToInt((24576 - 16384 * t) * delta * (t * t) / solo.pitch_bend_range) + 8192, 0, 16383);
    events.push_back({tick,
                      kOrderCurve,
                      {kStatusPitchBend, static_cast<std::uint8_t>(value & 0x7F),
                       static_cast<std::uint8_t>(value >> 7)}});
  }
  const std::string text = std::string(a.is_bend ? "bend: " : "slide: ") + std::to_string(on) +
                           "->" + std::to_string(targetPitch) + " (string " +
                           std::to_string(a.string) + ")";
  // FF 06, the length in one byte (the text is always shorter than 128), the text.
  std::vector<std::uint8_t> bytes(text.size() + 3);
  bytes[0] = kMetaEvent;
  bytes[1] = kMetaMarker;
  bytes[2] = static_cast<std::uint8_t>(text.size());
  std::copy(text.begin(), text.end(), bytes.begin() + 3);
  events.push_back({note.start_tick, kOrderBendReset, std::move(bytes)});
}

}  // namespace

std::vector<MidiEvent> renderSoloEvents(const Json& configuration, const Json& notes) {
  const Json normalised = normalizeConfig(configuration);
  const SoloSettings solo = readSoloSettings(normalised.at("solo"));
  const std::vector<TimelineSegment> segments = readTimeline(normalised);
  const std::vector<NoteRecord> records = readNoteRecords(notes);

  std::vector<ArticulationCandidate> accepted = selectArticulations(
      collectArticulationCandidates(records, segments, solo), records, segments, solo);
  std::vector<std::int32_t> articulationOf(records.size(), -1);
  for (std::size_t i = 0; i < accepted.size(); ++i)
    articulationOf[static_cast<std::size_t>(accepted[i].note)] = static_cast<std::int32_t>(i);

  std::vector<MidiEvent> events;
  events.reserve(9 + records.size() * 4 + accepted.size() * 40);
  appendSetup(events, solo);
  for (std::size_t k = 0; k < records.size();) {
    const NoteRecord& note = records[k];
    const ArticulationCandidate* a =
        articulationOf[k] >= 0 ? &accepted[static_cast<std::size_t>(articulationOf[k])] : nullptr;
    const std::int32_t on = a != nullptr && a->span == 1 ? a->from_pitch : note.pitch;
    events.push_back(centreBend(note.start_tick, kOrderBendCentre));
    events.push_back(
        {note.start_tick,
         kOrderNoteOn,
         {kStatusNoteOn, static_cast<std::uint8_t>(on), static_cast<std::uint8_t>(note.velocity)}});
    std::int32_t off = note.end_tick;
    std::size_t span = 1;
    if (a != nullptr) {
      span = static_cast<std::size_t>(a->span);
      const NoteRecord& last = records[k + span - 1];
      off = last.end_tick;
      appendGlide(events, *a, note, on, last.pitch,
                  segments[static_cast<std::size_t>(a->segment)].bpm, solo);
    }
    events.push_back({off, kOrderNoteOff, {kStatusNoteOff, static_cast<std::uint8_t>(on), 0x00}});
    events.push_back(centreBend(off, kOrderBendReset));
    k += span;
  }
  return events;
}

}  // namespace tavrena
