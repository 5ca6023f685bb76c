#pragma once
// The seed a variant slot is generated from: (seed + slot) mod 2^53, so that the
// plug-in's slots and `tavrena generate --variant N` give the same solos.
#include <cmath>
#include <cstdint>

#include "theory/json.h"

namespace tavrena {

// Seeds stay within the integers a double holds exactly.
inline constexpr std::int64_t kSeedModulus = 9007199254740992;  // 2^53

// Both arguments are reduced into [0, 2^53) first, so no slot or seed overflows.
constexpr std::int64_t variantSeed(std::int64_t seed, std::int64_t slot) {
  const auto reduce = [](std::int64_t v) {
    const std::int64_t r = v % kSeedModulus;
    return r < 0 ? r + kSeedModulus : r;
  };
  return (reduce(seed) + reduce(slot)) % kSeedModulus;
}

// seed: a configuration's "seed" value. Null counts as 0; a float is truncated
// toward zero, and a non-finite one counts as 0. Strings, booleans, arrays and
// objects throw the JSON library's type error.
inline std::int64_t variantSeed(const Json& seed, std::int64_t slot) {
  if (seed.is_null()) return variantSeed(std::int64_t{0}, slot);
  if (seed.is_number_unsigned())
    return variantSeed(
        static_cast<std::int64_t>(seed.get<std::uint64_t>() % std::uint64_t{kSeedModulus}), slot);
  if (seed.is_number_integer()) return variantSeed(seed.get<std::int64_t>(), slot);
  if (seed.is_number_float()) {
    const double truncated = std::trunc(seed.get<double>());
    if (!std::isfinite(truncated)) return variantSeed(std::int64_t{0}, slot);
    return variantSeed(
        static_cast<std::int64_t>(std::fmod(truncated, static_cast<double>(kSeedModulus))), slot);
  }
  return variantSeed(seed.get_ref<const Json::number_integer_t&>(), slot);
}

// The seed of slot `slot` of a configuration object; an absent "seed" counts as 0.
// A configuration that is not an object (a bare progression array) has no seed.
inline std::int64_t variantSeedOf(const Json& configuration, std::int64_t slot) {
  if (!configuration.is_object()) return variantSeed(std::int64_t{0}, slot);
  const auto found = configuration.find("seed");
  return found == configuration.end() ? variantSeed(std::int64_t{0}, slot)
                                      : variantSeed(*found, slot);
}

}  // namespace tavrena
