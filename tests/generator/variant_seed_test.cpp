// The seed of a variant slot: (seed + slot) mod 2^53, null counting as 0.
#include "generator/variant_seed.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace tavrena {
namespace {

constexpr std::int64_t kLargest = 9007199254740991;  // 2^53 - 1
static_assert(kSeedModulus == kLargest + 1);
// The integer rule is usable at compile time.
static_assert(variantSeed(std::int64_t{kLargest}, 1) == 0);

TEST(VariantSeed, AddsTheSlotModulo2To53) {
  struct Row {
    Json seed;
    std::int64_t slot;
    std::int64_t expected;
  };
  const Row rows[] = {
      {41, 0, 41},
      {41, 2, 43},
      {nullptr, 0, 0},
      {nullptr, 2, 2},
      {kLargest, 0, kLargest},
      {kLargest, 1, 0},  // wraps
      {kLargest, 2, 1},
      {kLargest - 1, 2, 0},
      {0, kLargest, kLargest},  // --notes accepts any slot below 2^53
      {1, kLargest, 0},
      {kLargest, kLargest, kLargest - 1},
      {std::uint64_t{18446744073709551615u}, 0, 18446744073709551615u % 9007199254740992u},
      {std::numeric_limits<std::int64_t>::max(), 1, 0},  // 2^63 - 1 = -1 (mod 2^53)
      {7.9, 1, 8},                                       // a float is truncated
      {-0.5, 1, 1},
  };
  for (const Row& row : rows)
    EXPECT_EQ(variantSeed(row.seed, row.slot), row.expected) << row.seed << " + " << row.slot;
  // Slots beyond 2^53 (which the plug-in never asks for) still do not overflow.
  EXPECT_EQ(variantSeed(Json(kLargest), std::numeric_limits<std::int64_t>::max()), kLargest - 1);
}

TEST(VariantSeed, AbsentSeedsCountAsZeroAndOtherTypesAreErrors) {
  EXPECT_EQ(variantSeedOf(Json::parse(R"({"progression": ["C"]})"), 2), 2);
  EXPECT_EQ(variantSeedOf(Json::parse(R"({"seed": 9007199254740991})"), 1), 0);
  EXPECT_EQ(variantSeedOf(Json::parse(R"(["C", "G"])"), 1), 1);  // a bare progression
  EXPECT_THROW(variantSeed(Json("5"), 1), Json::type_error);
  EXPECT_THROW(variantSeed(Json(true), 1), Json::type_error);
}

}  // namespace
}  // namespace tavrena
