// Rendering and playing through FluidSynth (see sound.h).
#include <cstdlib>
#include <stdexcept>

#include "audio/audio_error.h"
#include "audio/live_playback.h"
#include "audio/solo_audio.h"
#include "audio/soundfont_lookup.h"
#include "cli_common.h"
#include "sound.h"

namespace tavrena::cli {

namespace {

SoloAudioOptions audioOptions(const SoundOptions& options) {
  SoloAudioOptions audio;
  try {
    audio.audio.soundFont = findSoundFont(options.soundFont, std::getenv("TAVRENA_SOUNDFONT"));
  } catch (const SoundFontNotFound& e) {
    throw UsageError(e.what());
  }
  audio.audio.sampleRate = options.sampleRate;
  audio.audio.format = options.floatSamples ? SampleFormat::Float32 : SampleFormat::Int16;
  audio.chords = options.chords;
  return audio;
}

// The state was normalised by the caller: what is left to refuse is its length.
template <typename Action>
auto hear(Action action) {
  try {
    return action();
  } catch (const AudioError& e) {
    throw UsageError(e.what());
  } catch (const std::invalid_argument& e) {
    throw Refused(e.what());
  }
}

}  // namespace

void requireSound() {}

const char* soundAvailability() {
  return "";
}

std::string renderSound(const Json& state, const SoundOptions& options) {
  const SoloAudioOptions audio = audioOptions(options);
  const auto variant = state.at("variation").get<std::size_t>();
  const std::vector<std::uint8_t> wav = hear([&] { return renderSoloWav(state, variant, audio); });
  return std::string(wav.begin(), wav.end());
}

void playSound(const Json& state, const SoundOptions& options) {
  const SoloAudioOptions audio = audioOptions(options);
  const auto variant = state.at("variation").get<std::size_t>();
  hear([&] { playSoloLive(state, variant, audio, options.driver); });
}

}  // namespace tavrena::cli
