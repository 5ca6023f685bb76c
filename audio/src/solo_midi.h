#pragma once
// The MIDI file a solo is heard from: the bytes export writes for the variant, with
// the chord backing track when asked.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "state/state.h"

namespace tavrena {

struct SoloMidi {
  std::vector<std::uint8_t> file;
  double seconds = 0.0;  // the phrase's duration, without a tail
};

// Throws the state's and configuration's errors, and std::invalid_argument for a
// variant other than 0..2 or a phrase longer than kMaxAudioSeconds with its tail.
SoloMidi soloMidi(const Json& state, std::size_t variant, bool chords);

}  // namespace tavrena
