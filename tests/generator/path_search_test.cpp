#include "generator/path_search.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <vector>

#include "expect_throw_msg.h"
#include "fixtures.h"

namespace tavrena {
namespace {

using Ints = std::vector<std::int32_t>;

NoteSlot slotIn(const testing::Prepared& p, std::int32_t segment, std::int32_t target = 64) {
  NoteSlot s;
  const TimelineSegment& seg = p.segments[static_cast<std::size_t>(segment)];
  s.start = seg.start_tick;
  s.length = 240;
  s.segment = segment;
  s.measure_index = seg.measure_index;
  s.target_pitch = target;
  s.index_in_segment = 1;
  return s;
}

// Pitches p1 may move to from the previous slot into `slot`.
Ints allowedAfter(std::int32_t p2, std::int32_t p1, const NoteSlot& previous, const NoteSlot& slot,
                  const testing::Prepared& p) {
  Ints out;
  for (std::int32_t c = p.solo.low_note; c <= p.solo.high_note; ++c)
    if (!std::isinf(transitionCost(p2, p1, c, &previous, slot, p.segments, p.solo)))
      out.push_back(c);
  return out;
}

TEST(TransitionCost, IntervalTermsBeforeTheContextRules) {
  const auto p = testing::prepare({{"progression", {"C"}}});
  const NoteSlot s = slotIn(p, 0);
  auto cost = [&](int p2, int p1, int c) {
    return transitionCost(p2, p1, c, nullptr, s, p.segments, p.solo);
  };
  EXPECT_EQ(cost(-1, -1, 60), 0.0);  // first note of the piece
  EXPECT_DOUBLE_EQ(cost(-1, 60, 60), 2.5);
  EXPECT_DOUBLE_EQ(cost(-1, 60, 61), 0.12);
  EXPECT_DOUBLE_EQ(cost(-1, 60, 62), 0.24);
  EXPECT_DOUBLE_EQ(cost(-1, 60, 67), 5.34);
  // After a leap of more than 4: a step back earns -1, anything else +3.
  EXPECT_DOUBLE_EQ(cost(60, 67, 65), 0.24 - 1);
  EXPECT_DOUBLE_EQ(cost(60, 67, 69), 0.24 + 3);
  EXPECT_DOUBLE_EQ(cost(60, 67, 60), 5.34 + 3);
  EXPECT_DOUBLE_EQ(cost(60, 64, 62), 0.24);  // 4 is no leap
}

TEST(TransitionCost, ChromaticNotesResolveBySemitoneIntoTheScale) {
  const auto p = testing::prepare({{"progression", {"C"}}});
  const NoteSlot a = slotIn(p, 0);
  const NoteSlot b = slotIn(p, 0);
  EXPECT_EQ(allowedAfter(-1, 61, a, b, p), (Ints{60, 62}));
  EXPECT_EQ(allowedAfter(-1, 66, a, b, p), (Ints{65, 67}));
  EXPECT_EQ(allowedAfter(-1, 60, a, b, p).size(), 30u);  // a chord tone goes anywhere
}

TEST(TransitionCost, NonChordTonesMoveOnByStep) {
  const auto p = testing::prepare({{"progression", {"C"}}});
  const NoteSlot a = slotIn(p, 0);
  const NoteSlot b = slotIn(p, 0);
  auto cost = [&](int p2, int p1, int c) {
    return transitionCost(p2, p1, c, &a, b, p.segments, p.solo);
  };
  EXPECT_DOUBLE_EQ(cost(60, 62, 64), 0.24 - 1);  // passing tone
  EXPECT_DOUBLE_EQ(cost(60, 62, 60), 0.24 - 1);  // neighbour tone
  EXPECT_DOUBLE_EQ(cost(60, 62, 67), 2.1 + 6);   // leap away: 2 per semitone over 2
  EXPECT_DOUBLE_EQ(cost(-1, 69, 74), 2.1 + 6);   // A is no chord tone of C
  EXPECT_DOUBLE_EQ(cost(-1, 71, 76), 2.1);       // B is the ionian colour: free
  EXPECT_DOUBLE_EQ(cost(-1, 64, 69), 2.1);       // chord tone: no penalty
}

TEST(TransitionCost, RunsTurnAtTheRangeEdge) {
  const auto p = testing::prepare({{"progression", {"C"}}});
  NoteSlot a = slotIn(p, 0);
  NoteSlot b = slotIn(p, 0);
  a.run = b.run = true;
  b.direction = 1;
  EXPECT_EQ(allowedAfter(-1, 60, a, b, p), (Ints{62}));
  EXPECT_EQ(allowedAfter(-1, 84, a, b, p), (Ints{83}));  // top of the pool: back down
  b.direction = -1;
  EXPECT_EQ(allowedAfter(-1, 64, a, b, p), (Ints{62}));
  EXPECT_EQ(allowedAfter(-1, 55, a, b, p), (Ints{57}));  // bottom: back up
  EXPECT_EQ(allowedAfter(-1, 61, a, b, p), Ints{});      // off the pool
  b.run = false;
  EXPECT_EQ(allowedAfter(-1, 60, a, b, p).size(), 30u);
}

TEST(TransitionCost, DominantResolvesLeadingToneUpAndSeventhDown) {
  const auto p = testing::prepare({{"progression", {"G7", "C"}}});
  const NoteSlot g = slotIn(p, 0);
  const NoteSlot c = slotIn(p, 1);
  EXPECT_EQ(allowedAfter(-1, 71, g, c, p), (Ints{72}));  // B -> C
  EXPECT_EQ(allowedAfter(-1, 65, g, c, p), (Ints{64}));  // F -> E
  EXPECT_DOUBLE_EQ(transitionCost(-1, 71, 72, &g, c, p.segments, p.solo), 0.12);
  EXPECT_GT(allowedAfter(-1, 67, g, c, p).size(), 1u);  // G is free

  const auto minor = testing::prepare({{"progression", {"G7", "Cm"}}});
  EXPECT_EQ(allowedAfter(-1, 65, slotIn(minor, 0), slotIn(minor, 1), minor), (Ints{63}));

  // Without the C above B in the candidates the leading tone is free.
  auto narrow = testing::prepare({{"progression", {"G7", "C"}}, {"solo", {{"high_note", 71}}}});
  EXPECT_GT(allowedAfter(-1, 71, slotIn(narrow, 0), slotIn(narrow, 1), narrow).size(), 1u);

  // A move from the third of a chord that is no dominant of the next is free.
  const auto plagal = testing::prepare({{"progression", {"F", "C"}}});
  EXPECT_GT(allowedAfter(-1, 69, slotIn(plagal, 0), slotIn(plagal, 1), plagal).size(), 1u);
}

TEST(PitchCandidates, FollowTheSlotFlags) {
  const auto p =
      testing::prepare({{"progression", {"Am"}}, {"solo", {{"low_note", 55}, {"high_note", 67}}}});
  NoteSlot s = slotIn(p, 0);
  s.on_pulse = true;
  EXPECT_EQ(pitchCandidates(s, p.segments[0], p.solo), (Ints{55, 57, 59, 60, 62, 64, 65, 67}));
  s.closing = true;
  EXPECT_EQ(pitchCandidates(s, p.segments[0], p.solo), (Ints{57, 60, 64}));
  s.song_end = true;
  EXPECT_EQ(pitchCandidates(s, p.segments[0], p.solo), (Ints{57}));
  // Off the pulse, short, and picked by the chromatic pattern: every pitch.
  s = slotIn(p, 0);
  SoloSettings chromatic = p.solo;
  chromatic.chromatic_probability = 1;
  EXPECT_EQ(pitchCandidates(s, p.segments[0], chromatic).size(), 13u);
  s.length = 241;
  EXPECT_EQ(pitchCandidates(s, p.segments[0], chromatic).size(), 8u);
}

TEST(NoteCost, TermsForFitColourAndCadence) {
  const auto c = testing::prepare({{"progression", {"C"}}});
  NoteSlot s = slotIn(c, 0, 65);
  s.length = 480;
  s.on_pulse = true;
  s.accent = 1.0;
  // F over C on the pulse: (0.4 * 5 + 1) * 1.0, one eighth too long, avoid note 4.
  EXPECT_DOUBLE_EQ(noteCost(65, s, c.segments[0], c.solo), 3.0 + 1.0 + 4.0);
  s.on_pulse = false;
  EXPECT_DOUBLE_EQ(noteCost(65, s, c.segments[0], c.solo), 0.3 + 1.0 + 1.0);
  EXPECT_DOUBLE_EQ(noteCost(66, s, c.segments[0], c.solo), 0.65 + 0.3 + 1.0 + 1.5);  // chromatic
  EXPECT_DOUBLE_EQ(noteCost(60, s, c.segments[0], c.solo), 0.65 * 5);
  s.closing = true;
  EXPECT_DOUBLE_EQ(noteCost(60, s, c.segments[0], c.solo), 0.65 * 5 - 1.5);

  // The dorian colour (the major sixth above D) is cheaper on the colour slot.
  const auto d = testing::prepare({{"progression", {"Am", "Dm"}}});
  const TimelineSegment& dm = d.segments[1];
  ASSERT_EQ(dm.mode, "dorian");
  NoteSlot plain = slotIn(d, 1, 71);
  NoteSlot colour = plain;
  colour.colour_slot = true;
  EXPECT_DOUBLE_EQ(noteCost(71, colour, dm, d.solo) - noteCost(71, plain, dm, d.solo), -8 * 0.6);
  EXPECT_EQ(noteCost(72, colour, dm, d.solo), noteCost(72, plain, dm, d.solo));
}

TEST(SearchMelodicPath, EqualCostsGoToTheSmallerPitchList) {
  auto p = testing::prepare({{"progression", {"Am"}}, {"solo", {{"chromatic_probability", 0.0}}}});
  NoteSlot s = slotIn(p, 0, 62);
  s.length = 480;
  // C and E lie two semitones from the target, D is on it but a non-chord
  // tone: all three cost exactly 1.3.
  const double costC = noteCost(60, s, p.segments[0], p.solo);
  ASSERT_EQ(noteCost(62, s, p.segments[0], p.solo), costC);
  ASSERT_EQ(noteCost(64, s, p.segments[0], p.solo), costC);
  std::atomic<bool> cancel{false};
  const std::vector<NoteSlot> one{s};
  EXPECT_EQ(searchMelodicPath(one, 0, 1, p.segments, -1, -1, p.solo, cancel), (Ints{60}));

  // Two such slots: [60, 62], [62, 60], [62, 64] and [64, 62] all cost 2.84.
  const std::vector<NoteSlot> two{s, s};
  EXPECT_EQ(searchMelodicPath(two, 0, 2, p.segments, -1, -1, p.solo, cancel), (Ints{60, 62}));
}

TEST(SearchMelodicPath, FailuresAndCancellation) {
  auto p = testing::prepare({{"progression", {"Am"}}});
  std::atomic<bool> cancel{false};
  NoteSlot end = slotIn(p, 0);
  end.closing = end.song_end = true;
  SoloSettings noA = p.solo;  // a range without any A cannot end on the root
  noA.low_note = 60;
  noA.high_note = 68;
  EXPECT_THROW_MSG(searchMelodicPath({end}, 0, 1, p.segments, -1, -1, noA, cancel),
                   std::runtime_error,
                   "No melodic path satisfies the configured range and resolution rules");
  EXPECT_EQ(searchMelodicPath({end}, 0, 0, p.segments, -1, -1, p.solo, cancel), Ints{});
  cancel = true;
  EXPECT_THROW_MSG(searchMelodicPath({end}, 0, 1, p.segments, -1, -1, p.solo, cancel),
                   std::runtime_error, "Генерация отменена");
}

}  // namespace
}  // namespace tavrena
