#pragma once
// How a solo becomes sound. Every rendering uses FluidSynth with these settings;
// FluidSynth's own command line renders the same MIDI file to the same samples with
//   fluidsynth -ni -F OUT.wav -O FORMAT -r RATE -g 1.0 -R 0 -C 0 SOUNDFONT FILE.mid
// (reverb and chorus off, MIDI player timed by the sample clock, 64-frame blocks).
#include <filesystem>

namespace tavrena {

inline constexpr double kSynthGain = 1.0;
inline constexpr int kDefaultSampleRate = 44100;

// After the phrase's end, where the last note-off lies, so that releases ring out.
inline constexpr double kTailSeconds = 1.5;

// The longest rendering, tail included: an hour of 48 kHz float audio is about
// 1.4 GB, held in memory until the file is written.
inline constexpr double kMaxAudioSeconds = 3600.0;

enum class SampleFormat {
  Int16,   // 16-bit PCM, clipped (FluidSynth's "s16")
  Float32  // 32-bit IEEE float (FluidSynth's "float")
};

struct AudioSettings {
  std::filesystem::path soundFont;
  int sampleRate = kDefaultSampleRate;  // 44100 or 48000
  SampleFormat format = SampleFormat::Int16;
};

}  // namespace tavrena
