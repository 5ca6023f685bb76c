#include "audio/live_playback.h"

#include <alsa/asoundlib.h>

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>

#include "audio/audio_error.h"
#include "solo_midi.h"
#include "synth_session.h"

namespace tavrena {
namespace {

// ALSA prints its failures to standard error; they belong in our one message.
void keepAlsaError(const char*, int, const char*, int, const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  keepFluidSynthError(text);
}

std::string settingText(fluid_settings_t* settings, const char* name) {
  char* value = nullptr;
  fluid_settings_dupstr(settings, name, &value);
  std::string text = value != nullptr ? value : "";
  fluid_free(value);
  return text;
}

// The drivers that play to a device: "file" writes a file instead.
void appendOption(void* data, const char*, const char* option) {
  if (std::string_view(option) == "file") return;
  auto& list = *static_cast<std::string*>(data);
  list += list.empty() ? "" : ", ";
  list += option;
}

}  // namespace

void playSoloLive(const Json& state, std::size_t variant, const SoloAudioOptions& options,
                  const std::string& driver) {
  const SoloMidi midi = soloMidi(state, variant, options.chords);
  static std::once_flag alsaErrors;
  std::call_once(alsaErrors, [] { snd_lib_error_set_handler(keepAlsaError); });
  SynthSession session(options.audio.soundFont, options.audio.sampleRate,
                       driver.empty() ? nullptr : driver.c_str());
  // The player is ready before the driver's thread starts pulling samples.
  session.play(midi.file);
  const std::unique_ptr<fluid_audio_driver_t, void (*)(fluid_audio_driver_t*)> device(
      new_fluid_audio_driver(session.settings(), session.synth()), delete_fluid_audio_driver);
  if (!device) {
    std::string drivers;
    fluid_settings_foreach_option(session.settings(), "audio.driver", &drivers, appendOption);
    throw AudioError("cannot play: no audio device could be opened with FluidSynth's '" +
                     settingText(session.settings(), "audio.driver") + "' driver (" +
                     takeFluidSynthErrors() + "); its drivers: " + drivers);
  }
  // The player ends once the last voice has died away after the final note-off.
  while (session.playing()) std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

}  // namespace tavrena
