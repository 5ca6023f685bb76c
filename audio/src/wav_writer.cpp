#include "audio/wav_writer.h"

#include <sndfile.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "audio/audio_error.h"

namespace tavrena {
namespace {

// A growing byte vector as libsndfile's file.
struct MemoryFile {
  std::vector<std::uint8_t> bytes;
  sf_count_t position = 0;
};

MemoryFile& fileOf(void* data) {
  return *static_cast<MemoryFile*>(data);
}

sf_count_t memoryLength(void* data) {
  return static_cast<sf_count_t>(fileOf(data).bytes.size());
}

sf_count_t memorySeek(sf_count_t offset, int whence, void* data) {
  MemoryFile& file = fileOf(data);
  const sf_count_t base = whence == SEEK_SET   ? 0
                          : whence == SEEK_CUR ? file.position
                                               : static_cast<sf_count_t>(file.bytes.size());
  if (base + offset < 0) return -1;
  file.position = base + offset;
  return file.position;
}

sf_count_t memoryRead(void* out, sf_count_t count, void* data) {
  MemoryFile& file = fileOf(data);
  const auto size = static_cast<sf_count_t>(file.bytes.size());
  const sf_count_t n = std::clamp<sf_count_t>(size - file.position, 0, count);
  std::memcpy(out, file.bytes.data() + file.position, static_cast<std::size_t>(n));
  file.position += n;
  return n;
}

sf_count_t memoryWrite(const void* in, sf_count_t count, void* data) {
  MemoryFile& file = fileOf(data);
  const auto end = static_cast<std::size_t>(file.position + count);
  if (end > file.bytes.size()) file.bytes.resize(end);
  std::memcpy(file.bytes.data() + file.position, in, static_cast<std::size_t>(count));
  file.position += count;
  return count;
}

sf_count_t memoryTell(void* data) {
  return fileOf(data).position;
}

SF_VIRTUAL_IO kMemoryIo = {memoryLength, memorySeek, memoryRead, memoryWrite, memoryTell};

}  // namespace

struct WavWriter::Impl {
  MemoryFile file;
  SNDFILE* sound = nullptr;
};

WavWriter::WavWriter(int sampleRate, SampleFormat format, std::int64_t expectedFrames)
    : impl_(std::make_unique<Impl>()) {
  const int bytesPerFrame = format == SampleFormat::Int16 ? 4 : 8;
  impl_->file.bytes.reserve(
      static_cast<std::size_t>(std::max<std::int64_t>(expectedFrames, 0)) * bytesPerFrame + 128);
  SF_INFO info{};
  info.samplerate = sampleRate;
  info.channels = 2;
  info.format =
      SF_FORMAT_WAV | (format == SampleFormat::Int16 ? SF_FORMAT_PCM_16 : SF_FORMAT_FLOAT);
  impl_->sound = sf_open_virtual(&kMemoryIo, SFM_WRITE, &info, &impl_->file);
  if (impl_->sound == nullptr)
    throw AudioError(std::string("cannot make a WAV file: ") + sf_strerror(nullptr));
  // As FluidSynth's file renderer: floats are -1..1, clipped where they go beyond.
  sf_command(impl_->sound, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  sf_command(impl_->sound, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
  sf_command(impl_->sound, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
}

WavWriter::~WavWriter() {
  if (impl_->sound != nullptr) sf_close(impl_->sound);
}

void WavWriter::write(std::span<const float> interleaved) {
  const auto frames = static_cast<sf_count_t>(interleaved.size() / 2);
  if (sf_writef_float(impl_->sound, interleaved.data(), frames) != frames)
    throw AudioError(std::string("cannot write the WAV file: ") + sf_strerror(impl_->sound));
}

std::vector<std::uint8_t> WavWriter::finish() {
  const int status = sf_close(impl_->sound);
  impl_->sound = nullptr;
  if (status != 0)
    throw AudioError(std::string("cannot write the WAV file: ") + sf_error_number(status));
  return std::move(impl_->file.bytes);
}

}  // namespace tavrena
