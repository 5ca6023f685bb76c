#pragma once
// Reading WAV files back for the tests: the samples through libsndfile (a reader
// independent of how the files were made), and the raw bytes of the "data" chunk
// through a small RIFF walk of our own.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cstdint>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace tavrena::testing {

struct WavAudio {
  int sampleRate = 0;
  int channels = 0;
  int format = 0;              // libsndfile's SF_FORMAT_* bits
  std::vector<float> samples;  // interleaved, -1..1
  std::size_t frames() const { return samples.size() / static_cast<std::size_t>(channels); }
};

inline WavAudio readWav(const std::string& bytes) {
  const std::string path =
      ::testing::TempDir() + "tavrena_read_" + std::to_string(getpid()) + ".wav";
  std::ofstream(path, std::ios::binary) << bytes;
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (file == nullptr) throw std::runtime_error(std::string("libsndfile: ") + sf_strerror(nullptr));
  WavAudio audio{info.samplerate, info.channels, info.format, {}};
  audio.samples.resize(static_cast<std::size_t>(info.frames * info.channels));
  const sf_count_t got = sf_readf_float(file, audio.samples.data(), info.frames);
  sf_close(file);
  std::remove(path.c_str());
  if (got != info.frames) throw std::runtime_error("libsndfile read fewer frames than announced");
  return audio;
}

// The bytes of the "data" chunk.
inline std::string wavData(const std::string& bytes) {
  auto le32 = [&](std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes.at(at))) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes.at(at + 1))) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes.at(at + 2))) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes.at(at + 3))) << 24;
  };
  if (bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0)
    throw std::runtime_error("not a WAV file");
  for (std::size_t at = 12; at + 8 <= bytes.size();) {
    const std::uint32_t size = le32(at + 4);
    if (bytes.compare(at, 4, "data") == 0) return bytes.substr(at + 8, size);
    at += 8 + size + (size & 1);
  }
  throw std::runtime_error("WAV file without a data chunk");
}

}  // namespace tavrena::testing
