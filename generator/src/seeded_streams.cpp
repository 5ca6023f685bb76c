#include "generator/seeded_streams.h"

#include <stdexcept>
#include <string>

namespace tavrena {

void checkCancel(const std::atomic<bool>& cancelFlag) {
  // Only a request to stop; no data is published through the flag.
  if (cancelFlag.load(std::memory_order_relaxed)) throw std::runtime_error(kGenerationCancelled);
}

SeededStreams::SeededStreams(std::int64_t seed) : seed_(seed) {}

std::int32_t SeededStreams::draw(std::int32_t index, std::string_view label, std::int32_t modulus) {
  if (modulus <= 0) throw std::invalid_argument("draw modulus must be positive");
  std::string message = "solo-v2:";
  message += std::to_string(seed_);
  message += ':';
  message += std::to_string(index);
  message += ':';
  message += label;
  const Sha256::Digest digest = sha_.hash(message);
  std::uint64_t value = 0;
  for (int i = 0; i < 8; ++i) value = (value << 8) | digest[static_cast<std::size_t>(i)];
  return static_cast<std::int32_t>(value % static_cast<std::uint64_t>(modulus));
}

}  // namespace tavrena
