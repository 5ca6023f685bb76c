// Byte streams from a broken or hostile helper (or plug-in) -> FrameDecoder, fed in chunks that
// the input itself chooses. Findings: a crash or sanitizer report; a decoded message whose
// encoding differs from the bytes it came from or does not decode back to an equal message;
// chunked and whole decoding disagreeing; a failure without an error text; bytes held beyond
// what was fed.
//
// Input: byte 0 gives n = 1 + byte0 % 8, the next n bytes are chunk sizes used in turn (0 feeds
// the rest at once), the remainder is the stream.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "vstwebview/helper_protocol.h"

namespace {

using vstwebview::helper::FrameDecoder;
using vstwebview::helper::Message;

struct Outcome {
  std::vector<Message> messages;
  std::string error;
};

Outcome decodeInChunks(std::string_view stream, std::string_view sizes) {
  FrameDecoder decoder;
  Outcome out;
  std::size_t pos = 0;
  for (std::size_t turn = 0; pos < stream.size(); ++turn) {
    const auto size = static_cast<unsigned char>(sizes[turn % sizes.size()]);
    const std::size_t take = size == 0 ? stream.size() - pos : size;
    const std::string_view chunk = stream.substr(pos, take);
    pos += chunk.size();
    const std::size_t before = decoder.Buffered();
    decoder.Feed(chunk);
    if (decoder.Buffered() > before + chunk.size()) std::abort();
    while (auto m = decoder.Next()) out.messages.push_back(std::move(*m));
  }
  if (decoder.Failed() && decoder.Error().empty()) std::abort();
  if (!decoder.Failed() && !decoder.Error().empty()) std::abort();
  out.error = decoder.Error();
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t count = 1 + static_cast<unsigned char>(input[0]) % 8;
  if (size < 1 + count) return 0;
  const std::string_view sizes = input.substr(1, count);
  const std::string_view stream = input.substr(1 + count);

  const Outcome chunked = decodeInChunks(stream, sizes);
  const Outcome whole = decodeInChunks(stream, std::string_view("\0", 1));
  if (chunked.error != whole.error || !(chunked.messages == whole.messages)) std::abort();

  // The encoding is canonical: re-encoding the messages gives back the stream's first bytes.
  std::string reencoded;
  for (const Message& m : chunked.messages) {
    const std::string frame = vstwebview::helper::Encode(m);  // a decoded message always encodes
    FrameDecoder again;
    again.Feed(frame);
    const auto back = again.Next();
    if (!back || !(*back == m) || again.Next() || again.Failed()) std::abort();
    reencoded += frame;
  }
  if (stream.substr(0, reencoded.size()) != reencoded) std::abort();
  return 0;
}
