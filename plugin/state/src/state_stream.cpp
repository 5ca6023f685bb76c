// The state streams of the host's project: compact UTF-8 JSON, no framing.
#include <algorithm>
#include <array>
#include <cstring>
#include <istream>
#include <memory>
#include <streambuf>
#include <vector>

#include "state/state.h"

namespace tavrena {
namespace {

constexpr Steinberg::int32 kReadChunk = 4096;

// The stream's bytes in fixed-size blocks: a state of hundreds of megabytes is never
// copied while it grows (no reallocation of one huge string), and the parser reads
// the blocks in place through this stream buffer.
class BlockText final : public std::streambuf {
 public:
  static constexpr std::size_t kBlockSize = std::size_t{1} << 20;

  std::size_t size() const { return size_; }

  void append(const char* data, std::size_t length) {
    while (length > 0) {
      if (blocks_.empty() || used_ == kBlockSize) {
        blocks_.push_back(std::make_unique_for_overwrite<char[]>(kBlockSize));
        used_ = 0;
      }
      const std::size_t take = std::min(length, kBlockSize - used_);
      std::memcpy(blocks_.back().get() + used_, data, take);
      used_ += take;
      size_ += take;
      data += take;
      length -= take;
    }
  }

 protected:
  int_type underflow() override {
    if (next_ >= blocks_.size()) return traits_type::eof();
    char* begin = blocks_[next_].get();
    const std::size_t length = next_ + 1 == blocks_.size() ? used_ : kBlockSize;
    ++next_;
    setg(begin, begin, begin + length);
    return traits_type::to_int_type(*begin);
  }

 private:
  std::vector<std::unique_ptr<char[]>> blocks_;
  std::size_t used_ = 0;  // bytes in the last block
  std::size_t size_ = 0;
  std::size_t next_ = 0;  // next block handed to the reader
};

}  // namespace

bool readStateStream(Steinberg::IBStream* stream, Json& out) {
  if (stream == nullptr) return false;
  try {
    BlockText text;
    std::array<char, kReadChunk> buffer;
    for (;;) {
      // Reset before every call: a stream that fails without reporting a count
      // must end the loop, not repeat the previous count.
      Steinberg::int32 got = 0;
      stream->read(buffer.data(), kReadChunk, &got);  // the result code is not trusted
      if (got < 1) break;
      if (got > kReadChunk || text.size() + static_cast<std::size_t>(got) > kMaxStateBytes)
        return false;
      text.append(buffer.data(), static_cast<std::size_t>(got));
    }
    std::istream in(&text);
    Json state = normalizeState(Json::parse(in));
    out.swap(state);
    return true;
  } catch (...) {
    // Parse and validation errors, and running out of memory: the caller keeps
    // its current state.
    return false;
  }
}

Steinberg::tresult writeStateStream(Steinberg::IBStream* stream, const Json& state) {
  if (stream == nullptr) return Steinberg::kInvalidArgument;
  std::string text;
  try {
    text = serializeState(state);
  } catch (...) {
    return Steinberg::kResultFalse;  // invalid UTF-8 in a text, or out of memory
  }
  // A text that the reader would refuse must not be reported as saved.
  if (text.size() > kMaxStateBytes) return Steinberg::kResultFalse;
  const auto length = static_cast<Steinberg::int32>(text.size());
  Steinberg::int32 written = 0;
  const Steinberg::tresult result = stream->write(text.data(), length, &written);
  if (result != Steinberg::kResultOk || written != length) return Steinberg::kResultFalse;
  return Steinberg::kResultOk;
}

}  // namespace tavrena
