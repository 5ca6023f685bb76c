#include "generator/notes.h"

#include <gtest/gtest.h>

#include <cmath>

#include "fixtures.h"

namespace tavrena {
namespace {

struct Placed {
  std::int32_t start;   // ticks
  std::int32_t length;  // ticks
  std::int32_t velocity;
};

// The note back in ticks; the quarter-note reals are tick multiples of 1/480.
Placed place(const NoteSlot& slot, const TimelineSegment& segment, const SoloSettings& solo) {
  const Json note = assembleNote(slot, 64, segment, solo);
  EXPECT_EQ(note.size(), 4u);
  EXPECT_EQ(note.at("pitch"), 64);
  EXPECT_TRUE(note.at("start").is_number_float());
  const double start = note.at("start").get<double>() / kQuarterPerTick;
  const double length = note.at("length").get<double>() / kQuarterPerTick;
  return {static_cast<std::int32_t>(std::lround(start)),
          static_cast<std::int32_t>(std::lround(length)), note.at("velocity").get<std::int32_t>()};
}

NoteSlot slotAt(std::int32_t start, std::int32_t length, std::int32_t index, bool onPulse) {
  NoteSlot s;
  s.start = start;
  s.length = length;
  s.index_in_segment = index;
  s.on_pulse = onPulse;
  s.accent = 0.15;
  return s;
}

// Stored notes are quarter notes made by multiplying ticks with kQuarterPerTick;
// reading them multiplies by kTicksPerQuarter. The literal must be the double
// nearest 1/480, and the round trip exact over the longest possible solo.
TEST(TickConstants, QuarterNotesRoundTripToTicks) {
  EXPECT_EQ(kQuarterPerTick, 1.0 / kTicksPerQuarter);
  for (std::int32_t tick = 0; tick <= kMaxBarPieces * kTicksPerWhole * 2; ++tick) {
    const double quarters = tick * kQuarterPerTick;
    ASSERT_EQ(std::nearbyint(quarters * kTicksPerQuarter), tick);
  }
}

TEST(AssembleNote, HumanizeDelaysOffPulseNotesInAThreeStepPattern) {
  const TimelineSegment seg;  // 120 bpm: humanize 9 ms = round(8.64) = 9 ticks
  const SoloSettings solo;
  const std::int32_t shifts[] = {0, 4, 9, 0, 4};
  for (std::int32_t i = 0; i < 5; ++i) {
    EXPECT_EQ(place(slotAt(960, 240, i, false), seg, solo).start, 960 + shifts[i]) << i;
    EXPECT_EQ(place(slotAt(960, 240, i, true), seg, solo).start, 960) << i;
  }
  // The shift never pushes the start out of the slot.
  EXPECT_EQ(place(slotAt(960, 3, 2, false), seg, solo).start, 962);
  EXPECT_EQ(place(slotAt(960, 1, 2, false), seg, solo).start, 960);

  TimelineSegment fast;
  fast.bpm = 400;
  SoloSettings most;
  most.humanize_ms = 30;  // 96 ticks
  EXPECT_EQ(place(slotAt(0, 480, 2, false), fast, most).start, 96);
  EXPECT_EQ(place(slotAt(0, 480, 1, false), fast, most).start, 48);
}

TEST(AssembleNote, GateShortensInsideTheSlot) {
  const TimelineSegment seg;
  const SoloSettings solo;
  NoteSlot closing = slotAt(0, 480, 0, true);
  closing.closing = true;
  EXPECT_EQ(place(closing, seg, solo).length, 466);                  // round(480 x 0.97)
  EXPECT_EQ(place(slotAt(0, 120, 0, true), seg, solo).length, 106);  // round(105.6)
  // Late start plus full gate would overrun the slot: the end is cut.
  SoloSettings full;
  full.gate = 1;
  EXPECT_EQ(place(slotAt(0, 120, 2, false), seg, full).length, 120 - 9);
  EXPECT_EQ(place(slotAt(0, 1, 2, false), seg, full).length, 1);  // at least one tick
  SoloSettings shortGate;
  shortGate.gate = 0.25;
  EXPECT_EQ(place(slotAt(0, 10, 0, true), seg, shortGate).length, 2);  // 2.5: halves to even
  EXPECT_EQ(place(slotAt(0, 14, 0, true), seg, shortGate).length, 4);  // 3.5
  EXPECT_EQ(place(slotAt(0, 2, 0, true), seg, shortGate).length, 1);   // 0.5 -> 0 -> 1
}

TEST(AssembleNote, VelocityFollowsWobbleAndAccent) {
  const TimelineSegment seg;
  const SoloSettings solo;  // velocity 96
  NoteSlot first = slotAt(0, 240, 0, true);
  first.accent = 1.0;
  EXPECT_EQ(place(first, seg, solo).velocity, 102);
  EXPECT_EQ(place(slotAt(0, 240, 6, false), seg, solo).velocity, 89);
  // Wobble 0 2 3 2 0 -2 -3 -2 over the index; accents +6 +4 +1 -4.
  const std::int32_t wobble[] = {0, 2, 3, 2, 0, -2, -3, -2, 0};
  for (std::int32_t i = 0; i < 9; ++i)
    EXPECT_EQ(place(slotAt(0, 240, i, false), seg, solo).velocity, 96 + wobble[i] - 4) << i;
  const double accents[] = {1.0, 0.8, 0.55, 0.15};
  const std::int32_t terms[] = {6, 4, 1, -4};
  for (int k = 0; k < 4; ++k) {
    NoteSlot s = slotAt(0, 240, 0, true);
    s.accent = accents[k];
    EXPECT_EQ(place(s, seg, solo).velocity, 96 + terms[k]);
  }
  SoloSettings loud;
  loud.velocity = 127;
  EXPECT_EQ(place(first, seg, loud).velocity, 127);
  SoloSettings soft;
  soft.velocity = 1;
  EXPECT_EQ(place(slotAt(0, 240, 6, false), seg, soft).velocity, 1);
}

}  // namespace
}  // namespace tavrena
