#pragma once
// One FluidSynth synthesiser with the settings of audio_settings.h, its SoundFont
// loaded and a MIDI player for one file. Used by one thread at a time.
#include <fluidsynth.h>

#include <cstdint>
#include <filesystem>
#include <span>

namespace tavrena {

class SynthSession {
 public:
  // audioDriver: FluidSynth's "audio.driver" for live playing, or nullptr when the
  // caller pulls the samples itself. Throws AudioError naming what failed.
  SynthSession(const std::filesystem::path& soundFont, int sampleRate,
               const char* audioDriver = nullptr);
  ~SynthSession();
  SynthSession(const SynthSession&) = delete;
  SynthSession& operator=(const SynthSession&) = delete;

  // Starts FluidSynth's own MIDI player on the bytes of a Standard MIDI File, timed
  // by the synthesiser's sample clock. Throws AudioError.
  void play(std::span<const std::uint8_t> midiFile);
  bool playing() const;

  fluid_settings_t* settings() const { return settings_; }
  fluid_synth_t* synth() const { return synth_; }

 private:
  fluid_settings_t* settings_ = nullptr;
  fluid_synth_t* synth_ = nullptr;
  fluid_player_t* player_ = nullptr;
};

// FluidSynth reports failures through its log; the error messages logged on this
// thread since the last call, joined, or "" (and forgotten).
std::string takeFluidSynthErrors();
// Adds a message from a library beneath FluidSynth to this thread's errors.
void keepFluidSynthError(const char* message);

}  // namespace tavrena
