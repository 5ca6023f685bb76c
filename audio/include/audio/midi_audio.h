#pragma once
#include <cstdint>
#include <span>
#include <vector>

#include "audio/audio_settings.h"

namespace tavrena {

// Plays the bytes of a Standard MIDI File through FluidSynth's own MIDI player,
// offline and faster than real time, and returns the first `frames` stereo frames
// as a WAV file. The same bytes, SoundFont and settings give the same file.
// Throws AudioError.
std::vector<std::uint8_t> renderMidiAudio(std::span<const std::uint8_t> midiFile,
                                          const AudioSettings& settings, std::int64_t frames);

}  // namespace tavrena
