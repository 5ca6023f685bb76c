#include "audio/solo_audio.h"

#include <cmath>
#include <stdexcept>
#include <string>

#include "audio/midi_audio.h"
#include "midi/backing_track.h"
#include "midi/smf_writer.h"
#include "solo_midi.h"
#include "theory/ticks.h"

namespace tavrena {

double phraseSeconds(const Json& normalisedConfig) {
  double seconds = 0.0;
  for (const Json& segment : normalisedConfig.at("bars"))
    seconds += segment.at("length_ticks").get<double>() * kQuarterPerTick * 60.0 /
               segment.at("bpm").get<double>();
  return seconds;
}

SoloMidi soloMidi(const Json& state, std::size_t variant, bool chords) {
  if (variant > 2) throw std::invalid_argument("variant must be 0, 1 or 2");
  NormalisedState normalised = normalizeStateWithConfig(state);
  SoloMidi midi;
  midi.seconds = phraseSeconds(normalised.config);
  if (midi.seconds + kTailSeconds > kMaxAudioSeconds)
    throw std::invalid_argument(
        "the phrase lasts " + std::to_string(std::lround(midi.seconds + kTailSeconds)) +
        " s with its tail; at most " + std::to_string(std::lround(kMaxAudioSeconds)) +
        " s can be rendered");
  normalised.state["variation"] = variant;
  midi.file = writeStandardMidiFile(normalised.state);
  if (chords) appendBackingTrack(midi.file, normalised.config);
  return midi;
}

std::vector<std::uint8_t> renderSoloWav(const Json& state, std::size_t variant,
                                        const SoloAudioOptions& options) {
  const SoloMidi midi = soloMidi(state, variant, options.chords);
  const std::int64_t frames =
      std::llround((midi.seconds + kTailSeconds) * options.audio.sampleRate);
  return renderMidiAudio(midi.file, options.audio, frames);
}

}  // namespace tavrena
