#pragma once
#include <cstddef>
#include <string>

#include "audio/solo_audio.h"
#include "theory/json.h"

namespace tavrena {

// Plays variant 0..2 of a state document through one of FluidSynth's audio drivers
// ("" for FluidSynth's default: PulseAudio, ALSA...) and returns once it has ended
// and the last notes have died away. options.audio.format is not used. Throws as
// renderSoloWav does; AudioError when no audio device can be opened.
void playSoloLive(const Json& state, std::size_t variant, const SoloAudioOptions& options,
                  const std::string& driver);

}  // namespace tavrena
