// Files of generated solos read back by the independent reader in smf_reader.h: it
// checks chunk lengths, delta times and the end of each track; here the events it
// finds must be exactly the ones rendered, in (tick, order) order.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "generator/generate.h"
#include "generator/render.h"
#include "midi/smf_writer.h"
#include "smf_reader.h"
#include "state/state.h"
#include "theory/config.h"

namespace tavrena {
namespace {

using testing::SmfEvent;
using testing::SmfFile;
using testing::SmfReader;

std::vector<SmfEvent> inFileOrder(std::vector<MidiEvent> events) {
  std::stable_sort(events.begin(), events.end(), [](const MidiEvent& a, const MidiEvent& b) {
    return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
  });
  std::vector<SmfEvent> out;
  for (const MidiEvent& e : events) out.push_back({e.tick, e.bytes});
  return out;
}

// A state holding three generated variants, each from its own seed as the plug-in
// makes them.
Json generatedState(Json config, int variation) {
  const std::atomic<bool> cancel{false};
  const std::int64_t seed = config.value("seed", 42);
  Json variants = Json::array();
  for (int i = 0; i < 3; ++i) {
    config["seed"] = seed + i;
    variants.push_back(generateSolo(config, cancel));
  }
  config["seed"] = seed;
  return {{"config", config}, {"variants", variants}, {"variation", variation}};
}

// Reads the file back and compares it with what the writer was meant to encode.
// Counts the articulation markers of the solo track into articulations.
void checkFile(const Json& input, int& articulations) {
  const Json state = normalizeState(input);
  const std::vector<std::uint8_t> bytes = writeStandardMidiFile(input);
  SmfFile file;
  ASSERT_NO_THROW(file = SmfReader::read(bytes));
  EXPECT_EQ(file.format, 1);
  EXPECT_EQ(file.division, 480);
  ASSERT_EQ(file.tracks.size(), 2u);
  const auto phraseEnd =
      static_cast<std::int64_t>(std::llround(state.at("total").get<double>() * 480));

  const Json normalised = normalizeConfig(state.at("config"));
  const std::vector<SmfEvent> chords = inFileOrder(chordTrackEvents(normalised));
  std::vector<MidiEvent> rendered = renderSoloEvents(
      state.at("config"), state.at("variants").at(state.at("variation").get<std::size_t>()));
  rendered.insert(rendered.begin(), metaEvent(0, 0, 0x03, "Guitar solo"));
  const std::vector<SmfEvent> solo = inFileOrder(std::move(rendered));

  EXPECT_TRUE(file.tracks[0].events == chords);
  EXPECT_TRUE(file.tracks[1].events == solo);
  for (const auto& [track, expected] : {std::pair{0, &chords}, {1, &solo}})
    EXPECT_EQ(file.tracks[track].endTick, std::max(phraseEnd, expected->back().tick)) << track;

  // Independent of the writer's own lists: one marker per segment, and every note
  // that sounds is released at a later tick (no hanging notes in a DAW).
  const auto markers = std::count_if(chords.begin(), chords.end(),
                                     [](const SmfEvent& e) { return e.bytes[1] == 0x06; });
  EXPECT_EQ(static_cast<std::size_t>(markers), normalised.at("bars").size());
  std::map<int, std::int64_t> sounding;
  for (const SmfEvent& e : file.tracks[1].events) {
    if (e.bytes[0] == 0xFF && e.bytes[1] == 0x06) ++articulations;
    const int kind = e.bytes[0] & 0xF0;
    if (kind == 0x90) {
      EXPECT_EQ(sounding.count(e.bytes[1]), 0u) << "pitch " << int(e.bytes[1]) << " struck twice";
      sounding[e.bytes[1]] = e.tick;
    } else if (kind == 0x80) {
      ASSERT_EQ(sounding.count(e.bytes[1]), 1u) << "pitch " << int(e.bytes[1]) << " not sounding";
      EXPECT_GT(e.tick, sounding[e.bytes[1]]);
      sounding.erase(e.bytes[1]);
    }
  }
  EXPECT_TRUE(sounding.empty());
}

TEST(SmfRoundTrip, GeneratedSolosReadBackExactly) {
  std::vector<Json> configs = {
      Json::parse(R"({"progression": ["Em", {"chord": "C", "bpm": 96.5}, "D", {"chord": "B7",
          "bars": 2, "meter": "6/8"}], "bpm": 140, "seed": 7, "repeats": 2,
          "solo": {"density": 1, "articulations_per_phrase": 8, "run_probability": 1}})"),
      Json::parse(
          R"({"progression": [{"chord": "Dm7", "bars": 1.5}, {"chord": "G7", "meter": "5/8"},
          {"chord": "Cmaj7", "meter": "3/8", "bars": 0.5}, "A7"], "meter": "12/8",
          "seed": 123456789, "harmony": "global", "scale": "dorian",
          "solo": {"triplet_probability": 1, "slides": false, "phrase_bars": 1}})"),
      Json::parse(R"({"progression": ["A5", "D5", "E5"], "repeats": 16, "bpm": 400,
          "solo": {"low_note": 40, "high_note": 88, "humanize_ms": 30, "gate": 1,
                   "pitch_bend_range": 2, "density": 0.1}})"),
      Json::parse(R"({"progression": [{"chord": "C", "meter": "1/32", "bars": 8},
          {"chord": "F", "meter": "32/1"}], "bpm": 20, "seed": 0})"),
  };
  // The default phrase and a busy one over many seeds.
  for (int seed = 0; seed < 30; ++seed) {
    Json config = defaultConfig();
    config["seed"] = 1000 + seed;
    if (seed % 2 == 1) config["solo"].update({{"density", 1}, {"articulations_per_phrase", 8}});
    configs.push_back(config);
  }
  int articulations = 0;
  for (std::size_t i = 0; i < configs.size(); ++i) {
    SCOPED_TRACE(configs[i].dump());
    checkFile(generatedState(configs[i], static_cast<int>(i % 3)), articulations);
  }
  EXPECT_GT(articulations, 30);  // bends and slides (meta events mid-track) were covered
}

TEST(SmfRoundTrip, ReaderRejectsDamagedFiles) {
  // The reader must be able to fail, or the checks above prove nothing.
  const std::vector<std::uint8_t> good = writeStandardMidiFile(Json::object());
  ASSERT_NO_THROW(SmfReader::read(good));
  auto damaged = [&](auto change) {
    std::vector<std::uint8_t> copy = good;
    change(copy);
    return copy;
  };
  EXPECT_THROW(SmfReader::read(damaged([](auto& b) { b[21] += 1; })),
               std::runtime_error);  // length
  EXPECT_THROW(SmfReader::read(damaged([](auto& b) { b.pop_back(); })), std::runtime_error);
  EXPECT_THROW(SmfReader::read(damaged([](auto& b) { b.push_back(0); })), std::runtime_error);
  // A one-byte marker length of 0x96 where 0x16 belongs reads as an unfinished quantity.
  EXPECT_THROW(SmfReader::read(damaged([](auto& b) {
                 const std::size_t at = 14 + 8 + 21 + 7 + 8 + 3;  // first marker's length
                 ASSERT_EQ(b[at], 0x16);
                 b[at] = 0x96;
               })),
               std::runtime_error);
}

}  // namespace
}  // namespace tavrena
