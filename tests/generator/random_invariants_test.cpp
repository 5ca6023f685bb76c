// Properties every generated solo and its rendering must have, over random
// configurations: random progressions, metres, tempi, settings and seeds.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <random>
#include <thread>

#include "fixtures.h"
#include "generator/generate.h"
#include "generator/planning.h"
#include "generator/render.h"
#include "generator/seeded_streams.h"
#include "random_configs.h"
#include "theory/ticks.h"

namespace tavrena {
namespace {

constexpr int kConfigurations = 320;
const std::atomic<bool> kRun{false};

struct Generated {
  Json config;
  Json notes;  // null when no melodic path exists
};

// Generated once, shared by the tests of this file.
const std::vector<Generated>& corpus() {
  static const std::vector<Generated> all = [] {
    std::mt19937_64 rng(0x5010);
    std::vector<Generated> out;
    for (int i = 0; i < kConfigurations; ++i) {
      Generated g{testing::randomConfig(rng, 16), nullptr};
      try {
        g.notes = generateSolo(g.config, kRun);
      } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), kNoMelodicPath) << g.config.dump();
      }
      out.push_back(std::move(g));
    }
    return out;
  }();
  return all;
}

std::int32_t ticks(double quarters) {
  return static_cast<std::int32_t>(std::lround(quarters * 480));
}

TEST(RandomConfigurations, SolosStayInRangeInsideTheirSlotsAndEndOnTheRoot) {
  int generated = 0;
  for (const Generated& g : corpus()) {
    if (g.notes.is_null()) continue;
    ++generated;
    const testing::Prepared p = testing::prepare(g.config);
    const auto slots = planNoteSlots(p.normalised, p.segments, p.solo, kRun);
    ASSERT_EQ(g.notes.size(), slots.size()) << g.config.dump();
    std::int32_t previousEnd = 0;
    for (std::size_t i = 0; i < slots.size(); ++i) {
      const Json& n = g.notes[i];
      ASSERT_EQ(n.size(), 4u);
      const std::int32_t pitch = n.at("pitch").get<std::int32_t>();
      const std::int32_t velocity = n.at("velocity").get<std::int32_t>();
      const std::int32_t start = ticks(n.at("start").get<double>());
      const std::int32_t end = start + ticks(n.at("length").get<double>());
      EXPECT_EQ(n.at("start").get<double>(), start * kQuarterPerTick);
      EXPECT_GE(pitch, p.solo.low_note);
      EXPECT_LE(pitch, p.solo.high_note);
      EXPECT_GE(velocity, 1);
      EXPECT_LE(velocity, 127);
      EXPECT_GE(end - start, 1);
      EXPECT_GE(start, slots[i].start);
      EXPECT_LE(end, slots[i].start + slots[i].length);
      EXPECT_GE(start, previousEnd) << "overlap or disorder at note " << i;
      previousEnd = end;
      const TimelineSegment& seg = p.segments[static_cast<std::size_t>(slots[i].segment)];
      if (slots[i].closing && !slots[i].song_end) {
        EXPECT_TRUE(seg.tones.contains(pitch));
      }
    }
    EXPECT_TRUE(slots.back().song_end);
    EXPECT_EQ(PitchClassSet::mod12(g.notes.back().at("pitch").get<std::int32_t>()),
              p.segments.back().root);
  }
  EXPECT_GE(generated, kConfigurations * 9 / 10);
  std::cout << generated << " of " << kConfigurations << " random configurations generated\n";
}

// After a stable sort by (tick, order) the solo is one voice: note-on and
// note-off alternate, and bend curves only move while a note sounds.
TEST(RandomConfigurations, RenderingIsOneWellFormedVoice) {
  for (const Generated& g : corpus()) {
    if (g.notes.is_null()) continue;
    auto events = renderSoloEvents(g.config, g.notes);
    std::stable_sort(events.begin(), events.end(), [](const MidiEvent& a, const MidiEvent& b) {
      return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
    });
    int sounding = -1;
    std::size_t noteOns = 0;
    for (const MidiEvent& e : events) {
      ASSERT_FALSE(e.bytes.empty());
      const std::uint8_t status = e.bytes[0];
      if (status == 0xFF) {
        ASSERT_EQ(e.bytes.size(), 3u + e.bytes[2]);
        continue;
      }
      for (std::size_t b = 1; b < e.bytes.size(); ++b) ASSERT_LT(e.bytes[b], 0x80);
      if (status == 0x90) {
        ASSERT_EQ(sounding, -1) << "note-on while a note sounds, tick " << e.tick;
        sounding = e.bytes[1];
        ++noteOns;
      } else if (status == 0x80) {
        ASSERT_EQ(sounding, e.bytes[1]) << "note-off without its note-on, tick " << e.tick;
        sounding = -1;
      } else if (e.order == 7) {
        ASSERT_NE(sounding, -1) << "bend curve outside a note, tick " << e.tick;
      }
    }
    EXPECT_EQ(sounding, -1);
    EXPECT_LE(noteOns, g.notes.size());
    EXPECT_GE(noteOns, (g.notes.size() + 1) / 2);
  }
}

TEST(RandomConfigurations, ThreadsGenerateExactlyWhatOneThreadDoes) {
  const auto& all = corpus();
  const std::size_t count = std::min<std::size_t>(all.size(), 48);
  std::vector<std::vector<Json>> results(4);
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < results.size(); ++t) {
    threads.emplace_back([&, t] {
      // Each thread walks the list from a different point.
      for (std::size_t k = 0; k < count; ++k) {
        const Generated& g = all[(k + t * 11) % count];
        Json notes;
        try {
          notes = generateSolo(g.config, kRun);
        } catch (const std::runtime_error&) {
        }
        results[t].push_back(notes);
      }
    });
  }
  for (std::thread& th : threads) th.join();
  for (std::size_t t = 0; t < results.size(); ++t)
    for (std::size_t k = 0; k < count; ++k)
      EXPECT_EQ(results[t][k], all[(k + t * 11) % count].notes) << "thread " << t;
}

}  // namespace
}  // namespace tavrena
