#pragma once
// Stereo WAV files built in memory by libsndfile, which also writes FluidSynth's
// rendered files: the same conversion of floats to 16-bit samples (clipped, scaled
// by libsndfile's rule) gives the same bytes. Unlike FluidSynth's files, ours carry
// no PEAK chunk, whose time stamp would make two renders of one solo differ.
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "audio/audio_settings.h"

namespace tavrena {

class WavWriter {
 public:
  // expectedFrames: how many frames will be written, to reserve memory once.
  // Throws AudioError.
  WavWriter(int sampleRate, SampleFormat format, std::int64_t expectedFrames);
  ~WavWriter();
  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;

  // interleaved: left, right, left, right... Throws AudioError.
  void write(std::span<const float> interleaved);
  // Completes the header and hands out the file. Throws AudioError.
  std::vector<std::uint8_t> finish();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tavrena
