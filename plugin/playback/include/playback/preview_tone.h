#pragma once
// A simple tone that makes the preview audible without an instrument. Audio
// thread only: no allocation, no lock, no system call.
#include <array>
#include <cstdint>

#include "playback/scheduler.h"

namespace tavrena {

struct PreviewVoice {
  double phase = 0.0;  // radians
  double amplitude = 0.0;
  double increment = 0.0;  // radians per sample
};

struct PreviewTone {
  std::array<PreviewVoice, 128> voices{};  // one per MIDI pitch
  double bend = 0.0;                       // semitones currently applied

  // Silences every voice; the bend stays.
  void clearVoices() noexcept { voices.fill(PreviewVoice{}); }
};

// Receives the mixed mono signal in runs of consecutive samples.
class ToneOutput {
 public:
  virtual void write(std::int32_t firstSample, const double* samples,
                     std::int32_t count) noexcept = 0;

 protected:
  ~ToneOutput() = default;
};

inline constexpr double kTwoPi = 6.283185307179586;
inline constexpr double kSilentAmplitude = 1e-5;

// sin(x), within one unit in the last place of the C library's result; a fixed
// sequence of IEEE operations, so every caller gets the same bits.
double toneSine(double x) noexcept;

// One block: applies the voice commands at their sample offsets (which never
// decrease), mixes every audible voice, clamps to [-1, 1] and hands the samples
// to out. Voices below kSilentAmplitude are skipped.
void renderPreviewTone(PreviewTone& tone, const VoiceCommandBuffer& commands,
                       std::int32_t pitchBendRange, double sampleRate, std::int32_t numSamples,
                       ToneOutput& out) noexcept;

}  // namespace tavrena
