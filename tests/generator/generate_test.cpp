#include "generator/generate.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#include "expect_throw_msg.h"
#include "fixtures.h"
#include "generator/path_search.h"
#include "random_configs.h"
#include "theory/config.h"

namespace tavrena {
namespace {

const std::atomic<bool> kRun{false};

Json withSeed(Json config, const Json& seed) {
  if (seed.is_discarded())
    config.erase("seed");
  else
    config["seed"] = seed;
  return config;
}

TEST(GenerateSolo, SameConfigurationSameSolo) {
  const Json config = defaultConfig();
  const Json first = generateSolo(config, kRun);
  EXPECT_EQ(generateSolo(config, kRun), first);
  EXPECT_NE(generateSolo(withSeed(config, 43), kRun), first);
  // Absent and null seeds both draw as seed 0.
  const Json zero = generateSolo(withSeed(config, 0), kRun);
  EXPECT_EQ(generateSolo(withSeed(config, nullptr), kRun), zero);
  EXPECT_EQ(generateSolo(withSeed(config, Json(Json::value_t::discarded)), kRun), zero);
}

TEST(GenerateSolo, CancelComesBeforeEverythingElse) {
  std::atomic<bool> cancel{true};
  EXPECT_THROW_MSG(generateSolo({{"progression", Json::array()}}, cancel), std::runtime_error,
                   "Генерация отменена");
  EXPECT_THROW_MSG(generateSolo({{"progression", Json::array()}}, kRun), std::invalid_argument,
                   "progression must be a non-empty array");
}

// Regression record of the default configuration. Regenerate by running the
// test with TAVRENA_RECORD_GOLDEN=1 and review the diff: a change here changes
// every user's solos.
TEST(GenerateSolo, DefaultConfigurationGolden) {
  const std::string path = std::string(TAVRENA_GOLDEN_DIR) + "/default_solo.json";
  const std::string produced = generateSolo(defaultConfig(), kRun).dump() + "\n";
  if (std::getenv("TAVRENA_RECORD_GOLDEN") != nullptr) {
    std::ofstream(path, std::ios::binary) << produced;
    GTEST_SKIP() << "recorded " << path;
  }
  std::ifstream in(path, std::ios::binary);
  ASSERT_TRUE(in) << path;
  std::stringstream golden;
  golden << in.rdbuf();
  EXPECT_EQ(produced, golden.str());
}

// The last slot of a phrase is chosen with the next phrase's first slot in
// view, and that first slot is chosen again by its own phrase's search.
TEST(GenerateSolo, LooksOneSlotIntoTheNextPhrase) {
  std::mt19937_64 rng(99);
  int phrasesChangedByLookAhead = 0;
  for (int c = 0; c < 60; ++c) {
    const Json config = testing::randomConfig(rng, 10);
    const testing::Prepared p = testing::prepare(config);
    Json notes;
    try {
      notes = generateSolo(config, kRun);
    } catch (const std::runtime_error&) {
      continue;
    }
    const auto slots = planNoteSlots(p.normalised, p.segments, p.solo, kRun);
    std::size_t j = 1;
    while (j < slots.size() && slots[j].measure_index / p.solo.phrase_bars ==
                                   slots[0].measure_index / p.solo.phrase_bars)
      ++j;
    if (j + 1 >= slots.size()) continue;
    const auto withLook = searchMelodicPath(slots, 0, j + 1, p.segments, -1, -1, p.solo, kRun);
    std::vector<std::int32_t> generated;
    for (const Json& n : notes) generated.push_back(n.at("pitch").get<std::int32_t>());
    for (std::size_t k = 0; k < j; ++k) EXPECT_EQ(generated[k], withLook[k]) << k;
    try {
      const auto without = searchMelodicPath(slots, 0, j, p.segments, -1, -1, p.solo, kRun);
      if (!std::equal(without.begin(), without.end(), withLook.begin()))
        ++phrasesChangedByLookAhead;
    } catch (const std::runtime_error&) {
    }
    // The next phrase's first note comes from that phrase's own search.
    if (j < 2) continue;
    std::size_t j2 = j + 1;
    while (j2 < slots.size() && slots[j2].measure_index / p.solo.phrase_bars ==
                                    slots[j].measure_index / p.solo.phrase_bars)
      ++j2;
    const auto second = searchMelodicPath(slots, j, std::min(slots.size(), j2 + 1), p.segments,
                                          generated[j - 2], generated[j - 1], p.solo, kRun);
    EXPECT_EQ(generated[j], second[0]);
  }
  EXPECT_GT(phrasesChangedByLookAhead, 0);
}

}  // namespace
}  // namespace tavrena
