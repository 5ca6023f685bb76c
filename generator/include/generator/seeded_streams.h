#pragma once
#include <atomic>
#include <cstdint>
#include <string_view>

#include "generator/sha256.h"

namespace tavrena {

// The generator's own failure texts (std::runtime_error).
inline constexpr char kGenerationCancelled[] = "Генерация отменена";
inline constexpr char kSha256Unavailable[] = "SHA256 unavailable";
inline constexpr char kSha256Failed[] = "SHA256 failed";
inline constexpr char kNoMelodicPath[] =
    "No melodic path satisfies the configured range and resolution rules";

// Throws kGenerationCancelled when the caller has set the flag. Any thread.
void checkCancel(const std::atomic<bool>& cancelFlag);

// The only random source of a generation: stateless draws keyed by
// (seed, index, label), each one SHA-256 of "solo-v2:<seed>:<index>:<label>".
// Constructing opens the hash provider, destruction closes it.
class SeededStreams {
 public:
  explicit SeededStreams(std::int64_t seed);

  // A value in [0, modulus); modulus must be positive.
  std::int32_t draw(std::int32_t index, std::string_view label, std::int32_t modulus);

 private:
  Sha256 sha_;
  std::int64_t seed_;
};

}  // namespace tavrena
