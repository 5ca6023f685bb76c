#include "generator/render.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>

#include "expect_throw_msg.h"
#include "fixtures.h"
#include "generator/articulation.h"

namespace tavrena {
namespace {

using Bytes = std::vector<std::uint8_t>;

Json note(double start, double length, int pitch, int velocity = 100) {
  return {{"start", start}, {"length", length}, {"pitch", pitch}, {"velocity", velocity}};
}

std::vector<MidiEvent> withOrder(const std::vector<MidiEvent>& events, std::int32_t order) {
  std::vector<MidiEvent> out;
  std::copy_if(events.begin(), events.end(), std::back_inserter(out),
               [&](const MidiEvent& e) { return e.order == order; });
  return out;
}

MidiEvent markerEvent(std::int32_t tick, const std::string& text) {
  Bytes bytes{0xFF, 0x06, static_cast<std::uint8_t>(text.size())};
  bytes.insert(bytes.end(), text.begin(), text.end());
  return {tick, 4, bytes};
}

TEST(RenderSoloEvents, SetupThenPlainNotes) {
  const Json config = {
      {"progression", {"C"}},
      {"solo", {{"articulations_per_phrase", 0}, {"program", 27}, {"pitch_bend_range", 7}}}};
  const auto events = renderSoloEvents(config, {note(0.5, 0.25, 60, 90), note(1.0, 1.0, 64)});
  const std::vector<MidiEvent> expected = {
      {0, 1, {0xC0, 27}},                                          // program change
      {0, 2, {0xB0, 0x07, 100}},                                   // volume
      {0, 2, {0xB0, 0x0A, 64}},                                    // pan
      {0, 2, {0xB0, 0x65, 0x00}},                                  // RPN MSB 0
      {0, 2, {0xB0, 0x64, 0x00}},                                  // RPN LSB 0: pitch-bend range
      {0, 2, {0xB0, 0x06, 7}},                                     // data entry: 7 semitones
      {0, 2, {0xB0, 0x26, 0x00}},                                  // data entry LSB
      {0, 2, {0xB0, 0x65, 0x7F}},                                  // RPN null
      {0, 2, {0xB0, 0x64, 0x7F}},   {240, 5, {0xE0, 0x00, 0x40}},  // bend centred before the note
      {240, 6, {0x90, 60, 90}},     {360, 3, {0x80, 60, 0x00}},
      {360, 4, {0xE0, 0x00, 0x40}},  // and after it
      {480, 5, {0xE0, 0x00, 0x40}}, {480, 6, {0x90, 64, 100}},
      {960, 3, {0x80, 64, 0x00}},   {960, 4, {0xE0, 0x00, 0x40}},
  };
  EXPECT_EQ(events, expected);
}

TEST(RenderSoloEvents, BendIntoAPhraseEndNote) {
  // G4 on the last beat over C: bent up from F4 on string 2 (fret 6).
  const auto events = renderSoloEvents({{"progression", {"C"}}}, Json::array({note(3.0, 1.0, 67)}));
  ASSERT_EQ(events.size(), 9u + 2 + 26 + 1 + 2);
  EXPECT_EQ(events[10], (MidiEvent{1440, 6, {0x90, 65, 100}}));  // struck as 65
  EXPECT_EQ(withOrder(events, 4).front(), markerEvent(1440, "bend: 65->67 (string 2)"));
  EXPECT_EQ(events[events.size() - 2], (MidiEvent{1920, 3, {0x80, 65, 0}}));
  // Glide from 35 ms after the attack (34 ticks) to the target tick
  // 1440 + min(480 / 3, round(153.6)) = 1594: 26 points, about one per 5 ms,
  // along 8192 + 8192 x (2 / 12) x (3t^2 - 2t^3).
  const auto points = withOrder(events, 7);
  ASSERT_EQ(points.size(), 26u);
  const std::vector<std::pair<std::size_t, std::pair<int, int>>> curve = {
      {0, {1474, 8192}},  {1, {1479, 8198}},  {5, {1498, 8334}}, {12, {1532, 8834}},
      {13, {1536, 8916}}, {24, {1589, 9551}}, {25, {1594, 9557}}};
  for (const auto& [i, point] : curve) {
    EXPECT_EQ(points[i].tick, point.first) << i;
    EXPECT_EQ(points[i].bytes, (Bytes{0xE0, static_cast<std::uint8_t>(point.second & 0x7F),
                                      static_cast<std::uint8_t>(point.second >> 7)}))
        << i;
  }
}

TEST(RenderSoloEvents, BendIntoTheNextNoteStrikesOnlyTheFirst) {
  const auto events =
      renderSoloEvents({{"progression", {"C"}}}, {note(0.0, 1.0, 62), note(1.0, 2.0, 64)});
  EXPECT_EQ(withOrder(events, 6), (std::vector<MidiEvent>{{0, 6, {0x90, 62, 100}}}));
  EXPECT_EQ(withOrder(events, 3), (std::vector<MidiEvent>{{1440, 3, {0x80, 62, 0}}}));
  EXPECT_EQ(withOrder(events, 4).front(), markerEvent(0, "bend: 62->64 (string 3)"));
  const auto points = withOrder(events, 7);
  ASSERT_EQ(points.size(), 34u);  // 154 ticks of glide, one point per 5 ms
  EXPECT_EQ(points.front().tick, 326);
  EXPECT_EQ(points.back(), (MidiEvent{480, 7, {0xE0, 9557 & 0x7F, 9557 >> 7}}));
}

TEST(RenderSoloEvents, PropagatesConfigurationAndNoteErrors) {
  EXPECT_THROW_MSG(renderSoloEvents({{"progression", Json::array()}}, Json::array()),
                   std::invalid_argument, "progression must be a non-empty array");
  const Json c = {{"progression", {"C"}}};
  EXPECT_THROW_MSG(renderSoloEvents(c, Json::array({note(0, 1, 128)})), std::invalid_argument,
                   "note");
  EXPECT_THROW_MSG(renderSoloEvents(c, Json::array({note(0, 1, 60, 0)})), std::invalid_argument,
                   "note");
  EXPECT_THROW_MSG(renderSoloEvents(c, Json::array({note(-1, 1, 60)})), std::invalid_argument,
                   "note duration");
  EXPECT_THROW_MSG(renderSoloEvents(c, Json::array({note(1e300, 1, 60)})), std::invalid_argument,
                   "note duration");
  EXPECT_THROW_MSG(renderSoloEvents(c, Json::array({note(1, -0.5, 60)})), std::invalid_argument,
                   "note duration");
  EXPECT_THROW(renderSoloEvents(c, Json::array({{{"start", 0}, {"length", 1}, {"pitch", 60}}})),
               Json::out_of_range);
}

TEST(ReadNoteRecords, RoundsTicksHalfToEven) {
  // These starts give exactly 480.5 and 481.5 ticks once multiplied by 480.
  const auto r = readNoteRecords(
      {note(0.5, 0.25, 60), note(1.0010416666666666, 1.0, 61), note(1.003125, 1.0, 62)});
  EXPECT_EQ(r[0], (NoteRecord{240, 360, 60, 100}));
  EXPECT_EQ(r[1].start_tick, 480);
  EXPECT_EQ(r[2].start_tick, 482);
}

TEST(GuitarStringFor, FirstPlayableString) {
  struct Row {
    int from, to;
    bool bend;
    int string;
  };
  for (Row r : {Row{65, 67, true, 2},
                {64, 66, true, 2},
                {69, 71, true, 1},
                {62, 64, true, 3},
                {50, 52, true, 0},
                {41, 46, false, 6},
                {40, 45, false, 0},
                {86, 84, false, 1},
                {86, 88, false, 0},
                {60, 59, false, 3},
                {60, 67, false, 2}}) {
    EXPECT_EQ(guitarStringFor(r.from, r.to, r.bend), r.string) << r.from << "->" << r.to;
  }
}

TEST(SegmentAt, LastSegmentStartingAtOrBeforeTheTick) {
  const auto p = testing::prepare({{"progression", {"C", {{"chord", "G"}, {"bars", 0.5}}, "F"}}});
  struct Row {
    int tick;
    std::size_t segment;
  };
  // C: 0..1920; G: half a bar; F is cut at the bar line: 2880..3840, 3840..4800.
  ASSERT_EQ(p.segments.size(), 4u);
  for (Row r :
       {Row{-5, 0}, {0, 0}, {1919, 0}, {1920, 1}, {2879, 1}, {2880, 2}, {3840, 3}, {999999, 3}})
    EXPECT_EQ(segmentAt(p.segments, r.tick), r.segment) << r.tick;
}

TEST(CollectArticulationCandidates, SlidesStayWithinTheBendRangeAndSeven) {
  const auto p = testing::prepare({{"progression", {"C"}}});
  auto slides = [&](const Json& notes, int range) {
    SoloSettings solo = p.solo;
    solo.pitch_bend_range = range;
    int count = 0;
    for (const auto& c : collectArticulationCandidates(readNoteRecords(notes), p.segments, solo))
      count += c.note == 0 && !c.is_bend;
    return count;
  };
  // D -> G continuing upwards to A: a flowing 5-semitone slide on string 2.
  const Json fifth = {note(0, 1, 62), note(1, 1, 67), note(2, 1, 69)};
  EXPECT_EQ(slides(fifth, 12), 1);
  EXPECT_EQ(slides(fifth, 5), 1);
  EXPECT_EQ(slides(fifth, 4), 0);
  const Json eighth = {note(0, 1, 59), note(1, 1, 67), note(2, 1, 69)};
  EXPECT_EQ(slides(eighth, 12), 0);
  SoloSettings none = p.solo;
  none.articulations_per_phrase = 0;
  EXPECT_TRUE(collectArticulationCandidates(readNoteRecords(fifth), p.segments, none).empty());
}

// Candidates on notes one bar apart (four bars of C, one phrase of 4 bars).
struct SelectionFixture {
  testing::Prepared p =
      testing::prepare({{"progression", {"C", "C", "C", "C", "C", "C", "C", "C"}}});
  std::vector<NoteRecord> notes;
  SelectionFixture() {
    for (int i = 0; i < 16; ++i) notes.push_back({i * 480, i * 480 + 400, 60, 100});
  }
  ArticulationCandidate candidate(std::uint64_t note, int score, bool bend, int span = 1) const {
    ArticulationCandidate c;
    c.note = note;
    c.segment = static_cast<std::int32_t>(segmentAt(p.segments, notes[note].start_tick));
    c.score = score;
    c.is_bend = bend;
    c.span = span;
    c.string = 1;
    return c;
  }
  std::vector<std::uint64_t> accepted(const std::vector<ArticulationCandidate>& list,
                                      int perPhrase) const {
    SoloSettings solo = p.solo;
    solo.articulations_per_phrase = perPhrase;
    std::vector<std::uint64_t> out;
    for (const auto& a : selectArticulations(list, notes, p.segments, solo)) out.push_back(a.note);
    return out;
  }
};

using Notes = std::vector<std::uint64_t>;

TEST(SelectArticulations, RanksByScoreThenNoteThenBendsFirst) {
  SelectionFixture f;
  const auto list = {f.candidate(8, 5, false), f.candidate(4, 9, true), f.candidate(0, 5, true),
                     f.candidate(12, 9, false)};
  EXPECT_EQ(f.accepted(list, 8), (Notes{4, 12, 0, 8}));
  // Same score and note: the bend is taken and the slide finds its note covered.
  const auto pair = {f.candidate(4, 9, false), f.candidate(4, 9, true)};
  const auto chosen = selectArticulations(pair, f.notes, f.p.segments, f.p.solo);
  ASSERT_EQ(chosen.size(), 1u);
  EXPECT_TRUE(chosen[0].is_bend);
}

TEST(SelectArticulations, LimitsPerPhraseAndPerKind) {
  SelectionFixture f;
  // Phrase 0 holds notes 0..15 (bars 0..3 at 4 notes a bar).
  const auto list = {f.candidate(0, 20, true), f.candidate(4, 19, true), f.candidate(8, 18, true),
                     f.candidate(12, 17, false), f.candidate(14, 16, false)};
  EXPECT_EQ(f.accepted(list, 1), (Notes{0}));
  EXPECT_EQ(f.accepted(list, 3), (Notes{0, 4, 12}));  // two bends at most, three in all
  EXPECT_EQ(f.accepted(list, 4), (Notes{0, 4, 12, 14}));
}

TEST(SelectArticulations, KeepsAQuarterNoteApartAndNeverSharesNotes) {
  SelectionFixture f;
  // Notes 2 and 3 start 480 ticks apart: both fit; 5 and 6 with a span-2 over 5..6.
  EXPECT_EQ(f.accepted({f.candidate(2, 9, true), f.candidate(3, 8, true)}, 8), (Notes{2, 3}));
  EXPECT_EQ(f.accepted({f.candidate(5, 9, true, 2), f.candidate(6, 8, false)}, 8), (Notes{5}));
  // Closer than a quarter note: only the higher-ranked one.
  f.notes[3].start_tick = f.notes[2].start_tick + 479;
  EXPECT_EQ(f.accepted({f.candidate(3, 8, true), f.candidate(2, 9, true)}, 8), (Notes{2}));
}

TEST(SelectArticulations, FullTiesKeepProductionOrderInLongLists) {
  SelectionFixture f;
  std::vector<ArticulationCandidate> list;
  for (int i = 0; i < 40; ++i) {
    list.push_back(f.candidate(7, 9, true));
    list.back().string = i % 6 + 1;
    list.back().from_pitch = i;
  }
  const auto chosen = selectArticulations(list, f.notes, f.p.segments, f.p.solo);
  ASSERT_EQ(chosen.size(), 1u);
  EXPECT_EQ(chosen[0].from_pitch, 0);
}

}  // namespace
}  // namespace tavrena
