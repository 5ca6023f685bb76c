// The scheduler driven block by block at 480 Hz and 120 BPM, where one quarter
// note lasts exactly 240 samples, so every expected offset is easy to check by hand.
#include "playback/scheduler.h"

#include <gtest/gtest.h>

#include <vector>

#include "recording_output.h"

namespace tavrena {
namespace {

using testing::bendCentre;
using testing::controller;
using testing::noteOff;
using testing::noteOn;
using testing::RecordingMidi;
using testing::setupEvents;

constexpr double kRate = 480.0;
constexpr std::int32_t kQuarter = 240;  // samples per quarter note at 120 BPM

PlaybackEvent on(double time, std::int32_t pitch, std::int32_t velocity) {
  return {time, pitch, velocity, 6};
}
PlaybackEvent off(double time, std::int32_t pitch) {
  return {time, pitch, 0, 3};
}

PlaybackData makeData(std::vector<PlaybackEvent> events, double total, bool loop = true) {
  PlaybackData data;
  data.events = std::move(events);
  data.eventCount = static_cast<std::int32_t>(data.events.size());
  data.total = total;
  data.loop = loop;
  data.built = true;
  data.pitchBendRange = 12;
  data.program = 30;
  return data;
}

std::vector<OutputEvent> concat(std::vector<OutputEvent> a, const std::vector<OutputEvent>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Owns the play state and the per-block outputs, as the processor does.
struct Player {
  PlayState play;
  RecordingMidi midi;
  VoiceCommandBuffer voices;

  std::vector<OutputEvent> block(const PlaybackData& data, std::int32_t samples, bool active = true,
                                 bool relocate = false, double start = 0.0) {
    midi.events.clear();
    voices.clear();
    BlockOutput out{&midi, &voices};
    advancePlayback(play, data, {samples, kRate, active, relocate, start}, out);
    return midi.events;
  }

  // Continues from the current position, as the processor does when nothing relocates.
  std::vector<OutputEvent> next(const PlaybackData& data, std::int32_t samples) {
    return block(data, samples, true, false, play.position);
  }
};

TEST(Scheduler, FirstActiveBlockSendsSetupThenEventsAtTheirSamples) {
  const PlaybackData data = makeData({on(0.0, 60, 100),
                                      on(0.25, 64, 90),
                                      off(0.5, 64),
                                      {1.0, kKindPitchBend, 10000, 7},
                                      off(1.75, 60)},
                                     4.0);
  Player player;
  const auto expected = concat(setupEvents(0, 12, 30), {
                                                           noteOn(0, 60, 100),
                                                           noteOn(60, 64, 90),
                                                           noteOff(120, 64),
                                                           // 10000 = 78 * 128 + 16
                                                           controller(240, 129, 16, 78),
                                                           noteOff(420, 60),
                                                       });
  EXPECT_EQ(player.block(data, 2 * kQuarter), expected);
  EXPECT_TRUE(player.play.positioned);
  EXPECT_NEAR(player.play.position, 2.0, 1e-12);
  EXPECT_EQ(player.play.nextEvent, 5);
}

TEST(Scheduler, BlockBoundariesDoNotMoveEvents) {
  const PlaybackData data = makeData({on(0.0, 60, 100),
                                      off(0.5, 60),
                                      on(0.75, 62, 80),
                                      {1.1, 129 + 7, 90, 2},
                                      {1.3, kKindPitchBend, 8192 + 700, 7},
                                      off(1.9, 62),
                                      on(3.5, 70, 1),
                                      off(3.75, 70)},
                                     4.0);
  auto stamped = [&](const std::vector<std::int32_t>& sizes) {
    Player player;
    std::vector<std::pair<std::int64_t, OutputEvent>> all;
    std::int64_t start = 0;
    for (std::int32_t size : sizes) {
      for (OutputEvent e : player.next(data, size)) {
        const std::int64_t at = start + e.sampleOffset;
        e.sampleOffset = 0;
        all.emplace_back(at, e);
      }
      start += size;
    }
    return all;
  };
  const auto whole = stamped({4 * kQuarter});
  ASSERT_EQ(whole.size(), 7u + 8u);
  EXPECT_EQ(whole[7].first, 0);
  EXPECT_EQ(whole[8].first, 120);
  EXPECT_EQ(whole[9].first, 180);
  EXPECT_EQ(whole[10].first, 264);
  EXPECT_EQ(whole[11].first, 312);
  EXPECT_EQ(whole[14].first, 900);
  EXPECT_EQ(stamped({1, 119, 1, 60, 64, 500, 215}), whole);
  std::vector<std::int32_t> sevens(137, 7);  // 959 samples
  sevens.push_back(1);
  EXPECT_EQ(stamped(sevens), whole);
}

TEST(Scheduler, OverlappingNotesOfOnePitchEndWithTheLastNoteOff) {
  const PlaybackData data =
      makeData({off(0.0, 50), on(0.0, 60, 100), on(0.5, 60, 90), off(1.0, 60), off(1.5, 60)}, 4.0);
  Player player;
  const auto expected =
      concat(setupEvents(0, 12, 30), {noteOn(0, 60, 100), noteOn(120, 60, 90), noteOff(360, 60)});
  EXPECT_EQ(player.block(data, 2 * kQuarter), expected);  // the stray note-off of 50 plays nothing
  ASSERT_EQ(player.voices.size(), 7 + 3);
  EXPECT_EQ(player.voices[7], (VoiceCommand{60, 100, 0}));
  EXPECT_EQ(player.voices[8], (VoiceCommand{60, 90, 120}));
  EXPECT_EQ(player.voices[9], (VoiceCommand{60, 0, 360}));
  EXPECT_EQ(player.play.noteCount[60], 0);
}

TEST(Scheduler, LoopWrapReleasesNotesResendsSetupAndRestartsTheList) {
  // The note-off lies exactly on the phrase end: releasing at the wrap covers it.
  const PlaybackData data = makeData({{0.0, 129 + 7, 100, 2}, on(1.5, 60, 100), off(2.0, 60)}, 2.0);
  Player player;
  auto expected = setupEvents(0, 12, 30);
  expected.push_back(controller(0, 7, 100));
  expected.push_back(noteOn(360, 60, 100));
  expected.push_back(noteOff(480, 60));
  expected.push_back(bendCentre(480));
  expected = concat(expected, setupEvents(480, 12, 30));
  expected.push_back(controller(480, 7, 100));
  EXPECT_EQ(player.block(data, 600), expected);
  EXPECT_NEAR(player.play.position, 0.5, 1e-12);
  EXPECT_EQ(player.play.nextEvent, 1);
}

TEST(Scheduler, WithoutLoopStopsAtTheEndAndEveryLaterBlockStopsAtOnce) {
  const PlaybackData data = makeData({on(0.5, 60, 100), off(1.0, 60)}, 1.0, false);
  Player player;
  EXPECT_EQ(
      player.next(data, 300),
      concat(setupEvents(0, 12, 30), {noteOn(120, 60, 100), noteOff(240, 60), bendCentre(240)}));
  EXPECT_FALSE(player.play.positioned);
  const auto stopped = concat(setupEvents(0, 12, 30), {bendCentre(0)});
  EXPECT_EQ(player.next(data, 100), stopped);
  EXPECT_EQ(player.next(data, 100), stopped);
}

TEST(Scheduler, StartPositionIsClampedWrappedAndSkipsEarlierEvents) {
  const PlaybackData data =
      makeData({on(0.0, 40, 10), on(2.9, 41, 10), on(3.0 - 5e-9, 42, 10), on(3.5, 43, 10)}, 32.0);
  {
    Player player;  // a negative start plays from the beginning
    const auto events = player.block(data, 10, true, true, -3.0);
    ASSERT_EQ(events.size(), 8u);
    EXPECT_EQ(events[7], noteOn(0, 40, 10));
  }
  {
    Player player;  // 35 in a 32-quarter loop is 3.0; 2.9 is skipped, 3.0 - 5e-9 is not
    EXPECT_EQ(player.block(data, 130, true, true, 35.0),
              concat(setupEvents(0, 12, 30), {noteOn(0, 42, 10), noteOn(120, 43, 10)}));
  }
  {
    Player player;  // without loop a start past the end stops at once
    const PlaybackData once = makeData(data.events, 32.0, false);
    EXPECT_EQ(player.block(once, 130, true, true, 35.0),
              concat(setupEvents(0, 12, 30), {bendCentre(0)}));
  }
}

TEST(Scheduler, StartJustBeforeTheEndDoesNotReplayThePhraseAtOnce) {
  // fmod leaves 1.0 - 5e-9 as it is; treated as the end it would dispatch every
  // event of the phrase on one sample.
  const PlaybackData data =
      makeData({{0.0, 129 + 7, 100, 2}, on(0.5, 60, 100), off(0.75, 60)}, 1.0);
  Player player;
  auto expected = setupEvents(0, 12, 30);
  expected.push_back(controller(0, 7, 100));
  expected.push_back(noteOn(120, 60, 100));
  expected.push_back(noteOff(180, 60));
  EXPECT_EQ(player.block(data, 200, true, true, 1.0 - 5e-9), expected);
}

TEST(Scheduler, RelocationReleasesSoundingNotesAndRepositions) {
  const PlaybackData data =
      makeData({on(0.0, 60, 100), on(0.5, 67, 100), off(1.5, 60), off(1.5, 67)}, 4.0);
  Player player;
  player.next(data, 150);
  EXPECT_EQ(player.play.noteCount[60], 1);
  EXPECT_EQ(player.play.noteCount[67], 1);
  EXPECT_EQ(player.block(data, 10, true, true, 0.0),
            concat({noteOff(0, 60), noteOff(0, 67), bendCentre(0)},
                   concat(setupEvents(0, 12, 30), {noteOn(0, 60, 100)})));
}

TEST(Scheduler, LeavingTheActiveConditionReleasesOnce) {
  const PlaybackData data = makeData({on(0.0, 60, 100), off(3.0, 60)}, 4.0);
  Player player;
  player.next(data, 100);
  EXPECT_EQ(player.block(data, 100, false),
            (std::vector<OutputEvent>{noteOff(0, 60), bendCentre(0)}));
  ASSERT_EQ(player.voices.size(), 2);
  EXPECT_EQ(player.voices[0], (VoiceCommand{60, 0, 0}));
  EXPECT_EQ(player.voices[1], (VoiceCommand{kKindPitchBend, 8192, 0}));
  EXPECT_TRUE(player.block(data, 100, false).empty());
  EXPECT_FALSE(player.play.positioned);
}

TEST(Scheduler, DataNotBuiltOrEmptyPlaysNothing) {
  PlaybackData unbuilt = makeData({on(0.0, 60, 100)}, 4.0);
  unbuilt.built = false;
  PlaybackData empty = makeData({on(0.0, 60, 100)}, 0.0);
  Player player;
  EXPECT_TRUE(player.block(unbuilt, 100).empty());
  EXPECT_TRUE(player.block(empty, 100).empty());
  EXPECT_EQ(player.voices.size(), 0);
  BlockOutput out{&player.midi, &player.voices};
  sendSetupEvents(unbuilt, 0, out);
  EXPECT_TRUE(player.midi.events.empty());
  EXPECT_EQ(player.voices.size(), 0);
}

TEST(Scheduler, PhraseTempoAppliesOnlyWithoutSync) {
  PlaybackData data = makeData({on(1.5, 60, 100)}, 4.0);
  data.tempoPoints = {{0.0, 120.0}, {1.0, 60.0}, {3.0, 240.0}};
  data.bpm = 120.0;
  data.sync = false;  // quarter 0..1 at 120 BPM (240 samples), then 60 BPM (480 per quarter)
  {
    Player player;
    const auto events = player.block(data, 600);
    ASSERT_EQ(events.size(), 8u);
    EXPECT_EQ(events[7].sampleOffset, 240 + 240);
  }
  {
    Player player;  // starting inside the second segment uses its tempo at once
    const auto events = player.block(data, 600, true, true, 1.25);
    ASSERT_EQ(events.size(), 8u);
    EXPECT_EQ(events[7].sampleOffset, 120);
  }
  data.sync = true;  // the phrase (or host) tempo drives the position throughout
  {
    Player player;
    const auto events = player.block(data, 600);
    ASSERT_EQ(events.size(), 8u);
    EXPECT_EQ(events[7].sampleOffset, 360);
  }
}

TEST(Scheduler, WithoutMidiOutputTheVoicesAndPositionStillAdvance) {
  const PlaybackData data = makeData({on(0.0, 60, 100), off(0.5, 60), on(0.5, 62, 50)}, 4.0);
  Player withOutput;
  withOutput.block(data, 200);
  PlayState play;
  VoiceCommandBuffer voices;
  BlockOutput out{nullptr, &voices};
  advancePlayback(play, data, {200, kRate, true, false, 0.0}, out);
  ASSERT_EQ(voices.size(), withOutput.voices.size());
  for (std::int32_t i = 0; i < voices.size(); ++i) EXPECT_EQ(voices[i], withOutput.voices[i]);
  EXPECT_EQ(play.position, withOutput.play.position);
  EXPECT_EQ(play.nextEvent, withOutput.play.nextEvent);
  EXPECT_EQ(play.noteCount, withOutput.play.noteCount);
}

TEST(Scheduler, ControllerValuesAsTheHostReceivesThem) {
  const PlaybackData data = makeData({{0.0, kKindPitchBend, 16383, 7},
                                      {0.0, kKindPitchBend, 0, 7},
                                      {0.0, kKindProgramChange, 200, 1},  // masked to 7 bits
                                      {0.0, 129 + 74, 127, 2},
                                      {0.0, 300, 5, 2},  // unknown kinds play nothing
                                      {0.0, -1, 5, 2}},
                                     4.0);
  Player player;
  EXPECT_EQ(
      player.block(data, 1),
      concat(setupEvents(0, 12, 30), {controller(0, 129, 127, 127), controller(0, 129, 0, 0),
                                      controller(0, 130, 200 & 0x7F), controller(0, 74, 127)}));
  EXPECT_EQ(player.voices.size(), 7 + 4);
  EXPECT_EQ(player.voices[9], (VoiceCommand{kKindProgramChange, 200, 0}));
}

TEST(Scheduler, MoreThan4096VoiceCommandsStillEmitEveryMidiEvent) {
  std::vector<PlaybackEvent> events;
  for (std::int32_t i = 0; i < 5000; ++i) events.push_back({0.0, 129 + 1, i % 128, 2});
  const PlaybackData data = makeData(std::move(events), 4.0);
  Player player;
  const auto emitted = player.block(data, 4);
  ASSERT_EQ(emitted.size(), 7u + 5000u);
  EXPECT_EQ(emitted.back(), controller(0, 1, 4999 % 128));
  ASSERT_EQ(player.voices.size(), VoiceCommandBuffer::kCapacity);
  EXPECT_EQ(player.voices[4095], (VoiceCommand{129 + 1, (4095 - 7) % 128, 0}));
  // The buffer is cleared per block and fills again.
  player.voices.clear();
  EXPECT_EQ(player.voices.size(), 0);
}

}  // namespace
}  // namespace tavrena
