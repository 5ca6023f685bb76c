// Playback data from a state document and from rendered MIDI events.
#include "playback/build.h"

#include <gtest/gtest.h>

#include "state/state.h"

namespace tavrena {
namespace {

Json note(double start, double length, int pitch, int velocity) {
  return {{"start", start}, {"length", length}, {"pitch", pitch}, {"velocity", velocity}};
}

TEST(PlaybackBuild, FromAStateWithOnePlainNote) {
  const Json config = {
      {"progression", {"C", "G"}},
      {"bpm", 90},
      {"meter", "3/4"},
      {"solo", {{"articulations_per_phrase", 0}, {"program", 25}, {"pitch_bend_range", 7}}}};
  Json state = {
      {"config", config},
      {"sync", false},
      {"loop", false},
      {"variation", 2},
      {"variants",
       {Json::array({note(0, 1, 60, 100)}), Json::array(), Json::array({note(0.5, 1.0, 64, 90)})}}};
  PlaybackData data;
  data.events.push_back({9.0, 1, 1, 1});  // a previous build's leftovers go
  buildPlaybackData(normalizeState(state), data);

  EXPECT_TRUE(data.built);
  EXPECT_FALSE(data.sync);
  EXPECT_FALSE(data.loop);
  EXPECT_EQ(data.bpm, 90.0);
  EXPECT_EQ(data.total, 6.0);  // two bars of 3/4
  EXPECT_EQ(data.tempoPoints, (std::vector<TempoPoint>{{0.0, 90.0}, {3.0, 90.0}}));
  EXPECT_EQ(data.pitchBendRange, 7);
  EXPECT_EQ(data.program, 25);
  // Variant 2: the renderer's set-up at tick 0, then the note at 0.5 (tick 240)
  // with its centred bend, ending at 1.5 (tick 720) with the bend reset.
  const std::vector<PlaybackEvent> expected = {
      {0.0, kKindProgramChange, 25, 1},  // C0 19
      {0.0, 129 + 7, 100, 2},            // B0 07 64: volume
      {0.0, 129 + 10, 64, 2},            // B0 0A 40: pan
      {0.0, 129 + 101, 0, 2},            // B0 65 00: RPN 0 ...
      {0.0, 129 + 100, 0, 2},            // B0 64 00
      {0.0, 129 + 6, 7, 2},              // B0 06 07: ... 7 semitones
      {0.0, 129 + 38, 0, 2},             // B0 26 00: 0 cents
      {0.0, 129 + 101, 127, 2},          // B0 65 7F: null RPN
      {0.0, 129 + 100, 127, 2},          // B0 64 7F
      {0.5, kKindPitchBend, 8192, 5},    // E0 00 40
      {0.5, 64, 90, 6},                  // 90 40 5A
      {1.5, 64, 0, 3},                   // 80 40 00
      {1.5, kKindPitchBend, 8192, 4},    // E0 00 40
  };
  EXPECT_EQ(data.events, expected);
  EXPECT_EQ(data.eventCount, 13);
}

TEST(PlaybackBuild, RenderedEventsConvertSortAndSkip) {
  const std::vector<MidiEvent> rendered = {
      {960, 6, {0x90, 60, 100}},               // note-on
      {0, 4, {0xFF, 0x06, 3, 'a', 'b', 'c'}},  // marker: skipped
      {480, 7, {0xE0, 0x7F, 0x7F}},            // bend 16383
      {480, 3, {0x80, 55, 0x40}},              // note-off: velocity ignored
      {480, 3, {0x90, 57, 0}},                 // note-on velocity 0 = note-off
      {0, 2, {0xB0, 74, 127}},                 // controller 74
      {0, 1, {0xC0, 7}},                       // program 7
      {0, 2, {0x91, 60, 100}},                 // other channel: skipped
      {0, 2, {0x90, 60}},                      // truncated: skipped
      {0, 2, {0x90, 0x80, 1}},                 // not a data byte: skipped
      {0, 2, {}},                              // empty: skipped
      {480, 5, {0xE0, 0x00, 0x40}},            // centre
  };
  PlaybackData data;
  appendRenderedEvents(rendered, data);
  const std::vector<PlaybackEvent> expected = {
      {0.0, kKindProgramChange, 7, 1},
      {0.0, 129 + 74, 127, 2},
      {1.0, 55, 0, 3},
      {1.0, 57, 0, 3},
      {1.0, kKindPitchBend, 8192, 5},
      {1.0, kKindPitchBend, 16383, 7},
      {2.0, 60, 100, 6},
  };
  EXPECT_EQ(data.events, expected);
  EXPECT_EQ(data.eventCount, 7);
  // One tick is 1/480 of a quarter note, by multiplication.
  PlaybackData one;
  appendRenderedEvents({{1, 6, {0x90, 1, 1}}}, one);
  EXPECT_EQ(one.events.at(0).time, 0.0020833333333333333);
}

TEST(PlaybackBuild, AFailedBuildLeavesTheDefaults) {
  Json state = normalizeState(Json::object());
  state["config"]["progression"] = Json::array();  // no longer a valid configuration
  PlaybackData data;
  data.events.push_back({1.0, 60, 100, 6});
  data.built = true;
  data.program = 3;
  EXPECT_THROW(buildPlaybackData(state, data), std::exception);
  EXPECT_FALSE(data.built);
  EXPECT_TRUE(data.events.empty());
  EXPECT_EQ(data.program, 30);
}

}  // namespace
}  // namespace tavrena
