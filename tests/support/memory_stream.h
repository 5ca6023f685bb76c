#pragma once
// In-memory IBStream implementations for tests, with switches that make them behave
// like the awkward streams some hosts hand over (short reads, failing writes).
// The test owns these objects: addRef/release only count, they never delete.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "pluginterfaces/base/ibstream.h"

namespace tavrena::testing {

class TestStreamBase : public Steinberg::IBStream {
 public:
  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override {
    if (std::memcmp(iid, Steinberg::FUnknown_iid, sizeof(Steinberg::TUID)) == 0 ||
        std::memcmp(iid, Steinberg::IBStream_iid, sizeof(Steinberg::TUID)) == 0) {
      addRef();
      *obj = static_cast<Steinberg::IBStream*>(this);
      return Steinberg::kResultOk;
    }
    *obj = nullptr;
    return Steinberg::kNoInterface;
  }
  Steinberg::uint32 PLUGIN_API addRef() override { return ++references_; }
  Steinberg::uint32 PLUGIN_API release() override { return --references_; }

  int readCalls() const { return readCalls_; }
  int writeCalls() const { return writeCalls_; }

 protected:
  Steinberg::uint32 references_ = 1;
  int readCalls_ = 0;
  int writeCalls_ = 0;
};

// A byte string with one read/write position.
class MemoryStream : public TestStreamBase {
 public:
  MemoryStream() = default;
  explicit MemoryStream(std::string bytes) : data_(std::move(bytes)) {}

  const std::string& data() const { return data_; }
  void rewind() { position_ = 0; }

  // Read sizes are taken from this list in turn (cycling); each read returns at
  // most that many bytes however many were asked for. Empty: as many as asked.
  void setReadPattern(std::vector<Steinberg::int32> sizes) { readPattern_ = std::move(sizes); }
  // At the end of the data, fail the read without touching the byte count.
  void setSilentEnd(bool silent) { silentEnd_ = silent; }
  // Writes store at most this many bytes (a full disk); negative: no limit.
  void setWriteLimit(Steinberg::int64 bytes) { writeLimit_ = bytes; }
  // Result code that write returns (after storing what it could).
  void setWriteResult(Steinberg::tresult result) { writeResult_ = result; }

  Steinberg::tresult PLUGIN_API read(void* buffer, Steinberg::int32 numBytes,
                                     Steinberg::int32* numBytesRead) override {
    ++readCalls_;
    const auto left = static_cast<Steinberg::int64>(data_.size()) - position_;
    if (left <= 0 && silentEnd_) return Steinberg::kResultFalse;
    Steinberg::int64 n =
        std::min<Steinberg::int64>(std::max(numBytes, 0), std::max<Steinberg::int64>(left, 0));
    if (!readPattern_.empty()) {
      n = std::min<Steinberg::int64>(n, readPattern_[nextPattern_ % readPattern_.size()]);
      ++nextPattern_;
    }
    if (n > 0) std::memcpy(buffer, data_.data() + position_, static_cast<std::size_t>(n));
    position_ += n;
    if (numBytesRead != nullptr) *numBytesRead = static_cast<Steinberg::int32>(n);
    return Steinberg::kResultOk;
  }

  Steinberg::tresult PLUGIN_API write(void* buffer, Steinberg::int32 numBytes,
                                      Steinberg::int32* numBytesWritten) override {
    ++writeCalls_;
    Steinberg::int64 n = std::max(numBytes, 0);
    if (writeLimit_ >= 0) n = std::min(n, std::max<Steinberg::int64>(writeLimit_ - position_, 0));
    if (static_cast<std::size_t>(position_ + n) > data_.size())
      data_.resize(static_cast<std::size_t>(position_ + n));
    if (n > 0) std::memcpy(data_.data() + position_, buffer, static_cast<std::size_t>(n));
    position_ += n;
    if (numBytesWritten != nullptr) *numBytesWritten = static_cast<Steinberg::int32>(n);
    return writeResult_;
  }

  Steinberg::tresult PLUGIN_API seek(Steinberg::int64 pos, Steinberg::int32 mode,
                                     Steinberg::int64* result) override {
    Steinberg::int64 base = 0;
    if (mode == kIBSeekCur) base = position_;
    if (mode == kIBSeekEnd) base = static_cast<Steinberg::int64>(data_.size());
    if (base + pos < 0) return Steinberg::kInvalidArgument;
    position_ = base + pos;
    if (result != nullptr) *result = position_;
    return Steinberg::kResultOk;
  }

  Steinberg::tresult PLUGIN_API tell(Steinberg::int64* pos) override {
    if (pos == nullptr) return Steinberg::kInvalidArgument;
    *pos = position_;
    return Steinberg::kResultOk;
  }

 private:
  std::string data_;
  Steinberg::int64 position_ = 0;
  std::vector<Steinberg::int32> readPattern_;
  std::size_t nextPattern_ = 0;
  bool silentEnd_ = false;
  Steinberg::int64 writeLimit_ = -1;
  Steinberg::tresult writeResult_ = Steinberg::kResultOk;
};

// A read-only stream of `size` bytes: `prefix`, then `fill` repeated. Nothing is
// stored, so streams of hundreds of megabytes cost no memory of their own.
// With overReport set, every read claims one byte more than it delivered.
class RepeatedByteStream : public TestStreamBase {
 public:
  RepeatedByteStream(std::string prefix, char fill, Steinberg::int64 size)
      : prefix_(std::move(prefix)), fill_(fill), size_(size) {}

  void setOverReport(bool over) { overReport_ = over; }

  Steinberg::tresult PLUGIN_API read(void* buffer, Steinberg::int32 numBytes,
                                     Steinberg::int32* numBytesRead) override {
    ++readCalls_;
    const Steinberg::int64 n =
        std::clamp<Steinberg::int64>(size_ - position_, 0, std::max(numBytes, 0));
    auto* out = static_cast<char*>(buffer);
    const auto prefixLeft = static_cast<Steinberg::int64>(prefix_.size()) - position_;
    const Steinberg::int64 fromPrefix = std::clamp<Steinberg::int64>(prefixLeft, 0, n);
    if (fromPrefix > 0)
      std::memcpy(out, prefix_.data() + position_, static_cast<std::size_t>(fromPrefix));
    std::memset(out + fromPrefix, fill_, static_cast<std::size_t>(n - fromPrefix));
    position_ += n;
    if (numBytesRead != nullptr)
      *numBytesRead = static_cast<Steinberg::int32>(n + (overReport_ && n > 0 ? 1 : 0));
    return Steinberg::kResultOk;
  }
  Steinberg::tresult PLUGIN_API write(void*, Steinberg::int32, Steinberg::int32*) override {
    ++writeCalls_;
    return Steinberg::kResultFalse;
  }
  Steinberg::tresult PLUGIN_API seek(Steinberg::int64, Steinberg::int32,
                                     Steinberg::int64*) override {
    return Steinberg::kNotImplemented;
  }
  Steinberg::tresult PLUGIN_API tell(Steinberg::int64* pos) override {
    if (pos == nullptr) return Steinberg::kInvalidArgument;
    *pos = position_;
    return Steinberg::kResultOk;
  }

 private:
  std::string prefix_;
  char fill_;
  Steinberg::int64 size_;
  Steinberg::int64 position_ = 0;
  bool overReport_ = false;
};

}  // namespace tavrena::testing
