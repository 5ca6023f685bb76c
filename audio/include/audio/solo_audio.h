#pragma once
// A solo as audio: the selected variant's Standard MIDI File, exactly as export
// writes it, played through FluidSynth (midi_audio.h).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "audio/audio_settings.h"
#include "theory/json.h"

namespace tavrena {

struct SoloAudioOptions {
  AudioSettings audio;
  bool chords = false;  // the chord backing track plays along (appendBackingTrack)
};

// The phrase's duration under its tempo map. normalisedConfig: a normalizeConfig result.
double phraseSeconds(const Json& normalisedConfig);

// The WAV file of variant 0..2 of a state document (the document's own selection
// is ignored), round((phrase seconds + kTailSeconds) x rate) frames long. A pure
// function of its arguments and the SoundFont's bytes, for callers that cache the
// result per state revision and variant. Throws the state's and configuration's
// errors, std::invalid_argument when the phrase lasts longer than kMaxAudioSeconds
// with its tail, and AudioError.
std::vector<std::uint8_t> renderSoloWav(const Json& state, std::size_t variant,
                                        const SoloAudioOptions& options);

}  // namespace tavrena
