#include "playback/build.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "generator/midi_bytes.h"
#include "generator/render.h"
#include "theory/config.h"
#include "theory/ticks.h"

namespace tavrena {
namespace {

// True when bytes 1..count exist and are MIDI data bytes (below 0x80).
bool hasDataBytes(const std::vector<std::uint8_t>& bytes, std::size_t count) {
  if (bytes.size() <= count) return false;
  for (std::size_t i = 1; i <= count; ++i) {
    if (bytes[i] >= 0x80) return false;
  }
  return true;
}

// Fills kind and value; false for events the player does not play.
bool toPlaybackEvent(const MidiEvent& rendered, PlaybackEvent& event) {
  const std::vector<std::uint8_t>& b = rendered.bytes;
  if (b.empty()) return false;
  switch (b[0]) {
    case kStatusNoteOn:
      if (!hasDataBytes(b, 2)) return false;
      event.kind = b[1];
      event.value = b[2];
      return true;
    case kStatusNoteOff:
      if (!hasDataBytes(b, 2)) return false;
      event.kind = b[1];
      event.value = 0;
      return true;
    case kStatusPitchBend:
      if (!hasDataBytes(b, 2)) return false;
      event.kind = kKindPitchBend;
      event.value = b[2] * 128 + b[1];
      return true;
    case kStatusControlChange:
      if (!hasDataBytes(b, 2)) return false;
      event.kind = kKindControlChangeBase + b[1];
      event.value = b[2];
      return true;
    case kStatusProgramChange:
      if (!hasDataBytes(b, 1)) return false;
      event.kind = kKindProgramChange;
      event.value = b[1];
      return true;
    default:  // meta events (markers) and anything else
      return false;
  }
}

}  // namespace

void appendRenderedEvents(const std::vector<MidiEvent>& rendered, PlaybackData& data) {
  data.events.reserve(data.events.size() + rendered.size());
  for (const MidiEvent& midi : rendered) {
    PlaybackEvent event;
    if (!toPlaybackEvent(midi, event)) continue;
    event.time = midi.tick * kQuarterPerTick;
    event.order = midi.order;
    data.events.push_back(event);
  }
  std::stable_sort(data.events.begin(), data.events.end(),
                   [](const PlaybackEvent& a, const PlaybackEvent& b) {
                     if (a.time != b.time) return a.time < b.time;
                     return a.order < b.order;
                   });
  data.eventCount = static_cast<std::int32_t>(data.events.size());
}

void buildPlaybackData(const Json& state, PlaybackData& data) {
  data.reset();
  try {
    data.bpm = state.at("bpm").get<double>();
    data.total = state.at("total").get<double>();
    for (const Json& segment : state.at("timeline")) {
      data.tempoPoints.push_back(
          {segment.at("start").get<double>(), segment.at("bpm").get<double>()});
    }
    data.built = true;
    data.sync = state.at("sync").get<bool>();
    data.loop = state.at("loop").get<bool>();

    const Json normalised = normalizeConfig(state.at("config"));
    const Json& solo = normalised.at("solo");
    data.pitchBendRange = solo.at("pitch_bend_range").get<std::int32_t>();
    data.program = solo.at("program").get<std::int32_t>();

    // The same rendering as the MIDI file writer's, so playback and export carry
    // the same bends and slides.
    const Json& notes = state.at("variants").at(state.at("variation").get<std::size_t>());
    appendRenderedEvents(renderSoloEvents(state.at("config"), notes), data);
  } catch (...) {
    data.reset();
    throw;
  }
}

}  // namespace tavrena
