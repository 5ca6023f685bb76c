// The state streams of the host's project: compact UTF-8 JSON, no framing.
#include "state/state_stream.h"

#include <algorithm>
#include <string>

#include "theory/json_parse.h"

namespace tavrena {
namespace {

constexpr Steinberg::int32 kReadBlock = 4096;

// The bytes from the stream's position to its end, when the stream can tell: the
// buffer is then reserved once instead of growing (and copying) as it fills.
std::size_t remainingBytes(Steinberg::IBStream* stream) {
  Steinberg::int64 here = 0;
  Steinberg::int64 end = 0;
  if (stream->tell(&here) != Steinberg::kResultOk) return 0;
  if (stream->seek(0, Steinberg::IBStream::kIBSeekEnd, &end) != Steinberg::kResultOk) return 0;
  Steinberg::int64 back = 0;
  if (stream->seek(here, Steinberg::IBStream::kIBSeekSet, &back) != Steinberg::kResultOk ||
      back != here)
    return kMaxStateBytes + 1;  // position lost: refuse rather than parse a tail
  if (end <= here) return 0;
  return static_cast<std::size_t>(std::min<Steinberg::int64>(end - here, kMaxStateBytes + 1));
}

// Reads the whole stream into one contiguous buffer, in blocks, straight into its
// final place. False when the stream holds more than the state limit.
bool readAll(Steinberg::IBStream* stream, std::string& text) {
  const std::size_t expected = remainingBytes(stream);
  if (expected > kMaxStateBytes) return false;
  text.resize(expected);  // zero-filled once; the reads overwrite it in place
  std::size_t filled = 0;
  auto readInto = [stream](char* at, std::size_t room) -> Steinberg::int32 {
    const auto want = static_cast<Steinberg::int32>(std::min<std::size_t>(room, kReadBlock));
    // Reset before every call: a stream that fails without reporting a count
    // must end the loop, not repeat the previous count.
    Steinberg::int32 got = 0;
    stream->read(at, want, &got);  // the result code is not trusted
    return got > want ? -1 : got;
  };
  while (filled < text.size()) {
    const Steinberg::int32 got = readInto(text.data() + filled, text.size() - filled);
    if (got < 0) return false;
    if (got == 0) break;
    filled += static_cast<std::size_t>(got);
  }
  text.resize(filled);
  // Streams that cannot tell their length, or that hold more than they said: go on
  // in blocks until the end or the limit.
  std::string block(kReadBlock, '\0');
  for (;;) {
    const Steinberg::int32 got = readInto(block.data(), block.size());
    if (got < 0) return false;
    if (got == 0) return true;
    if (text.size() + static_cast<std::size_t>(got) > kMaxStateBytes) return false;
    text.append(block.data(), static_cast<std::size_t>(got));
  }
}

}  // namespace

bool readStateStream(Steinberg::IBStream* stream, Json& out) {
  if (stream == nullptr) return false;
  try {
    std::string text;
    if (!readAll(stream, text)) return false;
    Json state = normalizeState(parseJsonText(text));
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
  try {
    const std::string text = serializeState(state);
    // A text that the reader would refuse must not be reported as saved.
    if (text.size() > kMaxStateBytes) return Steinberg::kResultFalse;
    const auto length = static_cast<Steinberg::int32>(text.size());
    Steinberg::int32 written = 0;
    const Steinberg::tresult result =
        stream->write(const_cast<char*>(text.data()), length, &written);
    if (result != Steinberg::kResultOk || written != length) return Steinberg::kResultFalse;
    return Steinberg::kResultOk;
  } catch (...) {
    return Steinberg::kResultFalse;  // invalid UTF-8 in a text, or out of memory
  }
}

}  // namespace tavrena
