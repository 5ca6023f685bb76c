// The Standard MIDI File of a state document: format 1, 480 ticks per quarter note,
// a chord track with the tempo map and a solo track with the rendered variant.
#include "midi/smf_writer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "generator/midi_bytes.h"
#include "generator/render.h"
#include "generator/rounding.h"
#include "state/state.h"
#include "theory/config_rules.h"
#include "theory/ticks.h"

namespace tavrena {
namespace {

// "MThd", header length 6, format 1, two tracks, 480 ticks per quarter note.
constexpr std::array<std::uint8_t, 14> kHeader = {'M', 'T', 'h', 'd', 0, 0, 0,
                                                  6,   0,   1,   0,   2, 1, 0xE0};

MidiEvent tempoEvent(std::int32_t tick, double bpm) {
  // Microseconds per quarter note; 20..400 bpm keeps it within three bytes.
  const auto micros = static_cast<std::uint32_t>(roundHalfEven(60000000.0 / bpm));
  return {tick,
          1,
          {kMetaEvent, kMetaTempo, 0x03, static_cast<std::uint8_t>(micros >> 16),
           static_cast<std::uint8_t>(micros >> 8), static_cast<std::uint8_t>(micros)}};
}

MidiEvent timeSignatureEvent(std::int32_t tick, int numerator, int denominator) {
  int power = 0;
  while ((1 << power) < denominator) ++power;
  // Compound metres (6/8, 9/8, 12/8 ...) click on the dotted quarter.
  const bool compound = denominator == 8 && numerator >= 6 && numerator % 3 == 0;
  const int clocks = compound ? 36 : std::max(1, 96 / denominator);
  return {tick,
          2,
          {kMetaEvent, kMetaTimeSignature, 0x04, static_cast<std::uint8_t>(numerator),
           static_cast<std::uint8_t>(power), static_cast<std::uint8_t>(clocks), 0x08}};
}

// "Am | A aeolian | tonic": the chord text as written, blanks included.
std::string markerText(const Json& segment) {
  return segment.at("chord").get<std::string>() + " | " +
         std::string(kSharpNames.at(segment.at("mode_root").get<std::size_t>())) + " " +
         segment.at("mode").get<std::string>() + " | " + segment.at("function").get<std::string>();
}

void append(std::vector<std::uint8_t>& out, const std::vector<std::uint8_t>& bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}

}  // namespace

std::vector<MidiEvent> chordTrackEvents(const Json& normalisedConfig) {
  std::vector<MidiEvent> events;
  events.push_back(metaEvent(0, 0, kMetaTrackName, "Chord progression"));
  std::int32_t tick = 0;
  double previousBpm = -1.0;
  int previousNumerator = 0;
  int previousDenominator = 0;
  for (const Json& segment : normalisedConfig.at("bars")) {
    const double bpm = segment.at("bpm").get<double>();
    if (bpm != previousBpm) {
      events.push_back(tempoEvent(tick, bpm));
      previousBpm = bpm;
    }
    const Json& meter = segment.at("meter");
    const int numerator = meter.at(0).get<int>();
    const int denominator = meter.at(1).get<int>();
    if (numerator != previousNumerator || denominator != previousDenominator) {
      events.push_back(timeSignatureEvent(tick, numerator, denominator));
      previousNumerator = numerator;
      previousDenominator = denominator;
    }
    events.push_back(metaEvent(tick, 3, kMetaMarker, markerText(segment)));
    tick += segment.at("length_ticks").get<std::int32_t>();
  }
  return events;
}

std::vector<std::uint8_t> writeStandardMidiFile(const Json& input) {
  const NormalisedState normalised = normalizeStateWithConfig(input);
  const Json& state = normalised.state;
  // Halves away from zero, as std::round does.
  const auto endTick =
      static_cast<std::int32_t>(std::round(state.at("total").get<double>() * kTicksPerQuarter));

  const auto variation = state.at("variation").get<std::size_t>();
  std::vector<MidiEvent> solo =
      renderSoloEvents(state.at("config"), state.at("variants").at(variation));
  solo.insert(solo.begin(), metaEvent(0, 0, kMetaTrackName, "Guitar solo"));

  std::vector<MidiEvent> chords = chordTrackEvents(normalised.config);

  std::vector<std::uint8_t> file(kHeader.begin(), kHeader.end());
  append(file, encodeTrackChunk(std::move(chords), endTick));
  append(file, encodeTrackChunk(std::move(solo), endTick));
  return file;
}

}  // namespace tavrena
