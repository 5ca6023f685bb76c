// The optimised search (parent links, per-step lexicographic ranks, per-slot
// tables) against the literal one, on random configurations walked phrase by
// phrase exactly as the driver walks them.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <random>
#include <stdexcept>
#include <string>

#include "fixtures.h"
#include "generator/path_search.h"
#include "literal_search.h"
#include "random_configs.h"

namespace tavrena {
namespace {

struct Outcome {
  std::vector<std::int32_t> pitches;
  std::string error;
  friend bool operator==(const Outcome&, const Outcome&) = default;
};

template <typename Search>
Outcome run(Search search) {
  Outcome o;
  try {
    o.pitches = search();
  } catch (const std::runtime_error& e) {
    o.error = e.what();
  }
  return o;
}

TEST(SearchMelodicPathDifferential, AgreesWithTheLiteralSearch) {
  constexpr int kConfigurations = 240;
  std::mt19937_64 rng(0x7a5e2024);
  std::atomic<bool> cancel{false};
  testing::LiteralSearchStats stats;
  long searches = 0;
  long slotsSearched = 0;
  for (int c = 0; c < kConfigurations; ++c) {
    const Json config = testing::randomConfig(rng, 12);
    const testing::Prepared p = testing::prepare(config);
    const std::vector<NoteSlot> slots = planNoteSlots(p.normalised, p.segments, p.solo, cancel);
    const std::size_t n = slots.size();

    auto compare = [&](std::size_t first, std::size_t end, std::int32_t prev2, std::int32_t prev1) {
      const Outcome fast = run([&] {
        return searchMelodicPath(slots, first, end, p.segments, prev2, prev1, p.solo, cancel);
      });
      const Outcome literal = run([&] {
        return testing::literalSearchMelodicPath(slots, first, end, p.segments, prev2, prev1,
                                                 p.solo, stats);
      });
      ++searches;
      slotsSearched += static_cast<long>(end - first);
      EXPECT_EQ(fast, literal) << "slots [" << first << ", " << end << ") of " << config.dump();
      return literal;
    };

    std::int32_t prev2 = -1;
    std::int32_t prev1 = -1;
    for (std::size_t i = 0; i < n;) {
      const std::int32_t phrase = slots[i].measure_index / p.solo.phrase_bars;
      std::size_t j = i + 1;
      while (j < n && slots[j].measure_index / p.solo.phrase_bars == phrase) ++j;
      const Outcome o = compare(i, std::min(n, j + 1), prev2, prev1);
      if (!o.error.empty()) break;
      for (std::size_t k = i; k < j; ++k) {
        prev2 = prev1;
        prev1 = o.pitches[k - i];
      }
      i = j;
    }
    // A window starting anywhere, with arbitrary earlier pitches.
    const std::size_t first = std::uniform_int_distribution<std::size_t>(0, n - 1)(rng);
    const std::size_t end = std::min(n, first + 1 + rng() % 24);
    std::uniform_int_distribution<std::int32_t> pitch(p.solo.low_note, p.solo.high_note);
    compare(first, end, pitch(rng), pitch(rng));
  }
  // The tie-break by pitch list must actually have been exercised.
  EXPECT_GT(stats.equalCostComparisons, 1000);
  EXPECT_GE(searches, 2 * kConfigurations);
  std::cout << "compared " << searches << " searches (" << slotsSearched << " slots) over "
            << kConfigurations << " random configurations; " << stats.equalCostComparisons
            << " equal-cost comparisons\n";
}

// Hand-made corners the random walk meets rarely: the leading tone at the top of
// the range (its resolution is out of range, so it moves freely) and a run at
// the range edges.
TEST(SearchMelodicPathDifferential, AgreesAtTheRangeEdges) {
  std::atomic<bool> cancel{false};
  testing::LiteralSearchStats stats;
  const auto p = testing::prepare(
      {{"progression", {"G7", "C"}}, {"solo", {{"low_note", 59}, {"high_note", 71}}}});
  NoteSlot b;
  b.start = 0;
  b.length = 480;
  b.segment = 0;
  b.measure_index = 0;
  b.target_pitch = 71;
  b.on_pulse = true;
  b.accent = 1.0;
  NoteSlot next = b;
  next.start = 1920;
  next.segment = 1;
  next.measure_index = 1;
  next.target_pitch = 67;
  const std::vector<NoteSlot> cadence{b, next};
  const auto fast = searchMelodicPath(cadence, 0, 2, p.segments, -1, -1, p.solo, cancel);
  EXPECT_EQ(fast,
            testing::literalSearchMelodicPath(cadence, 0, 2, p.segments, -1, -1, p.solo, stats));
  EXPECT_EQ(fast, (std::vector<std::int32_t>{71, 67}));

  std::vector<NoteSlot> run;
  for (int i = 0; i < 12; ++i) {
    NoteSlot s = b;
    s.start = i * 120;
    s.length = 120;
    s.run = true;
    s.direction = i < 6 ? 1 : -1;
    s.target_pitch = 71;
    run.push_back(s);
  }
  EXPECT_EQ(
      searchMelodicPath(run, 0, run.size(), p.segments, -1, -1, p.solo, cancel),
      testing::literalSearchMelodicPath(run, 0, run.size(), p.segments, -1, -1, p.solo, stats));
}

// The carried pitches come from the caller: below -1, past the note range and
// past the MIDI range they take the search's slower lookups, which must agree
// all the same.
TEST(SearchMelodicPathDifferential, AgreesWhateverPitchesAreCarriedIn) {
  std::mt19937_64 rng(0x5eed0c0e);
  std::atomic<bool> cancel{false};
  testing::LiteralSearchStats stats;
  const std::int32_t carried[] = {-9, -1, 0, 39, 89, 127, 128, 300};
  int agreedOnPaths = 0;
  for (int c = 0; c < 12; ++c) {
    const testing::Prepared p = testing::prepare(testing::randomConfig(rng, 6));
    const std::vector<NoteSlot> slots = planNoteSlots(p.normalised, p.segments, p.solo, cancel);
    const std::size_t first = std::uniform_int_distribution<std::size_t>(0, slots.size() - 1)(rng);
    const std::size_t end = std::min(slots.size(), first + 12);
    for (const std::int32_t prev2 : carried) {
      for (const std::int32_t prev1 : carried) {
        const Outcome fast = run([&] {
          return searchMelodicPath(slots, first, end, p.segments, prev2, prev1, p.solo, cancel);
        });
        const Outcome literal = run([&] {
          return testing::literalSearchMelodicPath(slots, first, end, p.segments, prev2, prev1,
                                                   p.solo, stats);
        });
        EXPECT_EQ(fast, literal) << prev2 << " " << prev1 << " into [" << first << ", " << end
                                 << ")";
        agreedOnPaths += fast.error.empty() ? 1 : 0;
      }
    }
  }
  EXPECT_GT(agreedOnPaths, 100);  // mostly paths, not only the same refusal
}

// Wide ranges, chromatic notes everywhere and dense bars: up to 49 candidates a
// slot and many rows of cells, so many cells tie and the beam's edge falls
// among them.
TEST(SearchMelodicPathDifferential, AgreesWithManyCandidatesAndTies) {
  std::mt19937_64 rng(0x71e5);
  std::atomic<bool> cancel{false};
  testing::LiteralSearchStats stats;
  for (int c = 0; c < 16; ++c) {
    Json config = testing::randomConfig(rng, 8);
    config["solo"]["low_note"] = 40;
    config["solo"]["high_note"] = 88;
    config["solo"]["chromatic_probability"] = 1.0;
    config["solo"]["density"] = 1.0;
    const testing::Prepared p = testing::prepare(config);
    const std::vector<NoteSlot> slots = planNoteSlots(p.normalised, p.segments, p.solo, cancel);
    const std::size_t end = std::min<std::size_t>(slots.size(), 40);
    const Outcome fast =
        run([&] { return searchMelodicPath(slots, 0, end, p.segments, -1, -1, p.solo, cancel); });
    const Outcome literal = run([&] {
      return testing::literalSearchMelodicPath(slots, 0, end, p.segments, -1, -1, p.solo, stats);
    });
    EXPECT_EQ(fast, literal) << config.dump();
  }
  EXPECT_GT(stats.equalCostComparisons, 1000);
}

}  // namespace
}  // namespace tavrena
