#include "generator/planning.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "expect_throw_msg.h"
#include "fixtures.h"
#include "theory/scales.h"

namespace tavrena {
namespace {

using Ints = std::vector<std::int32_t>;

TEST(EvenHit, SpreadsHitsEvenly) {
  auto hits = [](double p) {
    Ints out;
    for (int n = 0; n < 24; ++n)
      if (evenHit(n, p)) out.push_back(n);
    return out;
  };
  EXPECT_EQ(hits(0.35), (Ints{2, 5, 8, 11, 14, 17, 19, 22}));
  EXPECT_EQ(hits(0.2), (Ints{4, 9, 14, 19}));
  EXPECT_EQ(hits(0.08), (Ints{12}));
  EXPECT_EQ(hits(0.0), Ints{});
  EXPECT_EQ(hits(1.0).size(), 24u);
}

TimelineSegment bar(std::int32_t measure, std::int32_t start, std::int32_t length = 1920,
                    std::int32_t offset = 0, std::int32_t numerator = 4,
                    std::int32_t denominator = 4) {
  TimelineSegment s;
  s.start_tick = start;
  s.end_tick = start + length;
  s.root = 0;
  s.mode_root = 0;
  s.numerator = numerator;
  s.denominator = denominator;
  s.measure_index = measure;
  s.measure_offset_ticks = offset;
  s.mode = "ionian";
  s.tones = PitchClassSet::of(Ints{0, 4, 7});
  s.scale_tones = PitchClassSet::of(scaleTones(0, "ionian"));
  return s;
}

TEST(PulseTicks, CompoundMetresPulseInDottedQuarters) {
  struct Row {
    int n, d, pulse;
  };
  for (Row r : {Row{4, 4, 480},
                {3, 4, 480},
                {6, 8, 720},
                {9, 8, 720},
                {12, 8, 720},
                {15, 8, 720},
                {3, 8, 240},
                {7, 8, 240},
                {8, 8, 240},
                {2, 2, 960},
                {1, 32, 60},
                {6, 16, 120}}) {
    EXPECT_EQ(pulseTicks(bar(0, 0, 1920, 0, r.n, r.d)), r.pulse) << r.n << "/" << r.d;
  }
}

TEST(ScalePool, TakesScalePitchesOfTheRangeInclusive) {
  SoloSettings solo;
  solo.low_note = 55;
  solo.high_note = 67;
  EXPECT_EQ(scalePool(bar(0, 0), solo), (Ints{55, 57, 59, 60, 62, 64, 65, 67}));
}

TEST(PlanPhrase, Seed42PhraseZero) {
  SeededStreams streams(42);
  const PhrasePlan plan = planPhrase(streams, 0);
  EXPECT_EQ(plan.motif, (Ints{0, -1, -2, 0, -2, -3, -1, -2}));
  EXPECT_EQ(plan.call_rhythm, (Ints{3, 1, 2, 2, 3, 1, 1, 1, 2}));
  EXPECT_EQ(plan.response_rhythm, (Ints{3, 1, 1, 1, 2, 3, 1, 2, 2}));
  EXPECT_EQ(plan.response, 1);
  EXPECT_EQ(plan.stretch, 2);
  EXPECT_EQ(plan.register_, 0.5);
  EXPECT_EQ(plan.arch, 1);
  EXPECT_EQ(plan.direction, 1);
  EXPECT_EQ(plan.run_length, 8);
  EXPECT_EQ(plan.triplet_phase, 20);
  EXPECT_EQ(plan.syncopation_phase, 13);
  EXPECT_EQ(plan.run_phase, 26);
  EXPECT_EQ(plan.variation_phase, 15);
}

// A plan with every per-bar effect switched off unless a test turns it on.
PhrasePlan plainPlan(Ints rhythm) {
  PhrasePlan p;
  p.motif = {0, 1, 2, 1, 0, 2, 1, 3};
  p.call_rhythm = rhythm;
  p.response_rhythm = rhythm;
  p.response = 0;
  p.stretch = 2;
  p.direction = 1;
  p.run_length = 4;
  p.arch = 0;
  p.register_ = 0.2;
  return p;
}

SoloSettings plainSolo() {
  SoloSettings solo;
  solo.triplet_probability = 0;
  solo.run_probability = 0;
  solo.syncopation = 0;
  solo.motif_variation = 0;
  return solo;
}

std::vector<NoteSlot> plan(const PhrasePlan& p, const TimelineSegment& s, const SoloSettings& solo,
                           bool songFinal = false) {
  std::vector<NoteSlot> out;
  planSegmentSlots(p, s, 0, songFinal, solo, out);
  return out;
}

Ints field(const std::vector<NoteSlot>& slots, std::int32_t NoteSlot::*member) {
  Ints out;
  for (const NoteSlot& s : slots) out.push_back(s.*member);
  return out;
}

TEST(PlanSegmentSlots, CallBarIn44) {
  const auto slots = plan(plainPlan({2, 1, 1, 4, 2, 2, 2, 2}), bar(0, 3840), plainSolo());
  // u = 120 ticks: rhythm cell 0 then cell 3 fill the bar exactly.
  EXPECT_EQ(field(slots, &NoteSlot::length), (Ints{240, 120, 120, 480, 240, 240, 240, 240}));
  EXPECT_EQ(field(slots, &NoteSlot::start), (Ints{3840, 4080, 4200, 4320, 4800, 5040, 5280, 5520}));
  EXPECT_EQ(field(slots, &NoteSlot::index_in_segment), (Ints{0, 1, 2, 3, 4, 5, 6, 7}));
  // Rising contour at x = 0.125: target 61.70625, nearest pool pitch 62.
  EXPECT_EQ(field(slots, &NoteSlot::target_pitch), (Ints{62, 64, 65, 64, 62, 65, 64, 67}));
  std::vector<double> accents;
  for (const NoteSlot& s : slots) {
    accents.push_back(s.accent);
    EXPECT_EQ(s.colour_slot, s.index_in_segment == 2);
    EXPECT_EQ(s.on_pulse, (s.start - 3840) % 480 == 0);
    EXPECT_FALSE(s.closing || s.song_end || s.run);
    EXPECT_EQ(s.direction, 1);
  }
  EXPECT_EQ(accents, (std::vector<double>{1.0, 0.15, 0.15, 0.55, 0.8, 0.15, 0.55, 0.15}));
}

TEST(PlanSegmentSlots, PhraseEndLeavesOnePulseAndBreathes) {
  SoloSettings solo = plainSolo();
  PhrasePlan p = plainPlan({2, 1, 1, 4, 2, 2, 2, 2});
  p.stretch = 1;
  const auto slots = plan(p, bar(3, 0), solo);  // last bar of a 4-bar phrase
  EXPECT_EQ(field(slots, &NoteSlot::length), (Ints{240, 120, 120, 480, 240, 240, 408}));
  EXPECT_EQ(slots.back().start, 1440);
  EXPECT_TRUE(slots.back().closing);
  EXPECT_FALSE(slots.back().song_end);

  solo.rest_probability = 0;
  EXPECT_EQ(plan(p, bar(3, 0), solo).back().length, 480);

  // The song's last segment: no breath, and the closing note ends the song.
  const auto last = plan(p, bar(0, 0), plainSolo(), true);
  EXPECT_EQ(field(last, &NoteSlot::length), (Ints{240, 120, 120, 480, 240, 240, 480}));
  EXPECT_TRUE(last.back().closing && last.back().song_end);

  // A phrase end shorter than a pulse: one closing note, minus the breath.
  const auto tail = plan(p, bar(3, 1680, 240, 1680), plainSolo());
  ASSERT_EQ(tail.size(), 1u);
  EXPECT_TRUE(tail[0].closing);
  EXPECT_EQ(tail[0].length, 240 - 72);
  EXPECT_EQ(tail[0].accent, 1.0);
}

TEST(PlanSegmentSlots, InnerRestsOnlyFromRestProbabilityQuarterOn) {
  SoloSettings solo = plainSolo();
  solo.rest_probability = 0.25;
  // Rhythm {2, 1}: position 1 is the cycle's last; it rests when it starts off
  // the pulse and ends before the segment does. Rests keep their index.
  auto slots = plan(plainPlan({2, 1}), bar(0, 0), solo);
  EXPECT_EQ(field(slots, &NoteSlot::start), (Ints{0, 360, 720, 960, 1080, 1440, 1800}));
  EXPECT_EQ(field(slots, &NoteSlot::index_in_segment), (Ints{0, 2, 4, 5, 6, 8, 10}));
  solo.rest_probability = 0.24;
  EXPECT_EQ(plan(plainPlan({2, 1}), bar(0, 0), solo).size(), 11u);
}

TEST(PlanSegmentSlots, CompoundMetreAndTripletUnits) {
  SoloSettings solo = plainSolo();
  const TimelineSegment sixEight = bar(0, 0, 1440, 0, 6, 8);
  auto slots = plan(plainPlan({2, 2, 2, 2, 2, 2, 2, 2}), sixEight, solo);
  EXPECT_EQ(slots.size(), 12u);  // u = 60
  EXPECT_EQ(slots[0].length, 120);

  solo.triplet_probability = 1;  // triplet rhythm 1 1 1 2 1 3 at u = 240
  slots = plan(plainPlan({2, 2, 2, 2, 2, 2, 2, 2}), sixEight, solo);
  EXPECT_EQ(field(slots, &NoteSlot::length), (Ints{240, 240, 240, 480, 240}));
  std::vector<bool> pulses;
  for (const NoteSlot& s : slots) pulses.push_back(s.on_pulse);
  EXPECT_EQ(pulses, (std::vector<bool>{true, false, false, true, false}));
}

TEST(PlanSegmentSlots, DensityStretchAndSyncopation) {
  SoloSettings solo = plainSolo();
  solo.density = 0.3;  // d = 4; the second note is cut by the bar end
  EXPECT_EQ(field(plan(plainPlan({3, 3, 2}), bar(0, 0), solo), &NoteSlot::length),
            (Ints{1440, 480}));

  // Answer half (bar 2 of 4) doubles the rhythm below density 0.9 only.
  solo.density = 0.75;
  EXPECT_EQ(plan(plainPlan({2, 2, 2, 2}), bar(2, 0), solo)[0].length, 480);
  solo.density = 0.9;
  EXPECT_EQ(plan(plainPlan({2, 2, 2, 2}), bar(2, 0), solo)[0].length, 240);

  // Syncopation splits the first long value: 2 1 1 4 becomes 1 2 1 4.
  solo = plainSolo();
  solo.syncopation = 1;
  EXPECT_EQ(field(plan(plainPlan({2, 1, 1, 4, 2, 2, 2, 2}), bar(0, 0), solo), &NoteSlot::length),
            (Ints{120, 240, 120, 480, 240, 240, 240, 240}));
}

TEST(PlanSegmentSlots, RunNotesStepThroughThePool) {
  SoloSettings solo = plainSolo();
  solo.run_probability = 1;
  const auto slots = plan(plainPlan({2, 2, 2, 2, 2, 2, 2, 2}), bar(0, 0), solo);
  // run_length 4 notes of one unit climbing from the anchor (62), then the rhythm.
  EXPECT_EQ(field(slots, &NoteSlot::length),
            (Ints{120, 120, 120, 120, 240, 240, 240, 240, 240, 240}));
  EXPECT_EQ(field(slots, &NoteSlot::target_pitch), (Ints{62, 64, 65, 67, 62, 65, 64, 67, 62, 64}));
  EXPECT_TRUE(slots[2].run);
  EXPECT_FALSE(slots[2].colour_slot);  // a run note is never the colour slot
  EXPECT_FALSE(slots[4].run);
}

TEST(PlanSegmentSlots, AnchorTieGoesToTheLowerPitch) {
  SoloSettings solo = plainSolo();
  solo.low_note = 48;
  solo.high_note = 88;
  solo.phrase_bars = 1;
  PhrasePlan p = plainPlan({8});
  p.arch = 1;  // falling: shape 0.5 at x = 0.5, target exactly 61 between 60 and 62
  EXPECT_EQ(plan(p, bar(0, 0), solo)[0].target_pitch, 60);
}

TEST(PlanSegmentSlots, OneBarPhrasesNeverAnswerOrVary) {
  SoloSettings solo = plainSolo();
  solo.phrase_bars = 1;
  solo.motif_variation = 1;
  PhrasePlan p = plainPlan({1, 1, 1, 1, 1, 1, 1, 1});
  p.response = 1;  // negation, were any bar an answer
  // x = 0.5: target 64.425, anchor 64; the call motif unchanged in every bar.
  const Ints call{64, 65, 67, 65, 64, 67, 65, 69};
  for (const TimelineSegment& s : {bar(0, 0), bar(5, 9600)}) {
    const Ints targets = field(plan(p, s, solo), &NoteSlot::target_pitch);
    EXPECT_EQ(Ints(targets.begin(), targets.begin() + 8), call);
  }
}

TEST(PlanNoteSlots, SeedsFromTheConfigurationAndStopsOnCancel) {
  const auto withNull =
      testing::prepare({{"progression", {"Am", "F", "C", "G"}}, {"seed", nullptr}});
  const auto withZero = testing::prepare({{"progression", {"Am", "F", "C", "G"}}, {"seed", 0}});
  std::atomic<bool> cancel{false};
  const auto a = planNoteSlots(withNull.normalised, withNull.segments, withNull.solo, cancel);
  EXPECT_EQ(a, planNoteSlots(withZero.normalised, withZero.segments, withZero.solo, cancel));
  cancel = true;
  EXPECT_THROW_MSG(planNoteSlots(withNull.normalised, withNull.segments, withNull.solo, cancel),
                   std::runtime_error, "Генерация отменена");
}

}  // namespace
}  // namespace tavrena
