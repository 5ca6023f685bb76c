#include "theory/timeline.h"

#include <gtest/gtest.h>

#include "expect_throw_msg.h"
#include "theory/config.h"

namespace tavrena {
namespace {

// [length_ticks, measure_index, measure_offset_ticks] of every segment.
std::vector<std::array<int, 3>> layout(const Json& config) {
  std::vector<std::array<int, 3>> rows;
  const Json normalised = normalizeConfig(config);
  for (const Json& s : normalised.at("bars"))
    rows.push_back({s.at("length_ticks").get<int>(), s.at("measure_index").get<int>(),
                    s.at("measure_offset_ticks").get<int>()});
  return rows;
}

using Rows = std::vector<std::array<int, 3>>;

TEST(Meter, ParsesAndRejects) {
  EXPECT_EQ(parseMeter("4/4"), Json::array({4, 4}));
  EXPECT_EQ(parseMeter("04/004"), Json::array({4, 4}));
  EXPECT_EQ(parseMeter("32/32"), Json::array({32, 32}));
  EXPECT_EQ(parseMeter("1/1"), Json::array({1, 1}));
  for (const char* text : {"4/3", "0/4", "33/4", "4/0", "4/64", "7/12"})
    EXPECT_THROW_MSG(parseMeter(text), std::invalid_argument, "Invalid meter");
  for (const Json& value : {Json("4-4"), Json("4/4 "), Json(" 4/4"), Json(4), Json(), Json("+4/4"),
                            Json("4/4\n"), Json("-4/4"), Json(Json::array({4, 4}))})
    EXPECT_THROW_MSG(parseMeter(value), std::invalid_argument, "meter must be N/D");
}

TEST(Meter, NumbersBeyond32BitsRaiseTheFixedOutOfRangeText) {
  EXPECT_THROW_MSG(parseMeter("99999999999/4"), std::out_of_range, "stoi argument out of range");
  EXPECT_THROW_MSG(parseMeter("4/2147483648"), std::out_of_range, "stoi argument out of range");
  // Fits 32 bits, so it is merely an invalid metre; leading zeros do not count.
  EXPECT_THROW_MSG(parseMeter("2147483647/4"), std::invalid_argument, "Invalid meter");
  EXPECT_EQ(parseMeter("000000000000000000004/4"), Json::array({4, 4}));
}

TEST(Meter, MeasureLengths) {
  EXPECT_EQ(measureTicks(4, 4), 1920);
  EXPECT_EQ(measureTicks(3, 4), 1440);
  EXPECT_EQ(measureTicks(6, 8), 1440);
  EXPECT_EQ(measureTicks(7, 8), 1680);
  EXPECT_EQ(measureTicks(1, 32), 60);
}

TEST(Timeline, SplitsAtMeasureBoundaries) {
  EXPECT_EQ(layout(Json::array({"C"})), (Rows{{1920, 0, 0}}));
  EXPECT_EQ(layout({{"progression", {{{"chord", "C"}, {"bars", 0.5}}, "G"}}}),
            (Rows{{960, 0, 0}, {960, 0, 960}, {960, 1, 0}}));
  // A metre change with the measure half full starts a new measure.
  EXPECT_EQ(layout({{"progression",
                     {{{"chord", "C"}, {"bars", 0.5}}, {{"chord", "G"}, {"meter", "3/4"}}}}}),
            (Rows{{960, 0, 0}, {1440, 1, 0}}));
  EXPECT_EQ(layout({{"progression", {{{"chord", "C"}, {"bars", 2.5}}}}, {"meter", "6/8"}}),
            (Rows{{1440, 0, 0}, {1440, 1, 0}, {720, 2, 0}}));
  EXPECT_EQ(layout({{"progression", {{{"chord", "C"}, {"bars", 0.03125}, {"meter", "1/32"}}}}}),
            (Rows{{2, 0, 0}}));
  // 1.0001 bars rounds to one full measure.
  EXPECT_EQ(layout({{"progression", {{{"chord", "C"}, {"bars", 1.0001}}}}}), (Rows{{1920, 0, 0}}));
  // Same measure length in another metre (3/4 and 6/8) does not close the measure.
  EXPECT_EQ(layout({{"progression",
                     {{{"chord", "C"}, {"bars", 0.5}, {"meter", "3/4"}},
                      {{"chord", "G"}, {"meter", "6/8"}}}}}),
            (Rows{{720, 0, 0}, {720, 0, 720}, {720, 1, 0}}));
}

TEST(Timeline, RepeatsContinueTheMeasureNumbering) {
  const Rows rows = layout({{"progression", {"C", "F", "G", "C"}}, {"repeats", 2}});
  ASSERT_EQ(rows.size(), 8u);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(rows[i], (std::array<int, 3>{1920, i, 0}));
}

TEST(Timeline, BarLimitsAtTheirBoundaries) {
  const Json many = Json(std::vector<std::string>(4096, "C"));
  EXPECT_EQ(normalizeConfig(many).at("bars").size(), 4096u);
  EXPECT_THROW_MSG(normalizeConfig(Json(std::vector<std::string>(4097, "C"))),
                   std::invalid_argument, "Progression exceeds 4096 bars");
  const Json half = Json(std::vector<std::string>(2048, "C"));
  EXPECT_EQ(normalizeConfig({{"progression", half}, {"repeats", 2}}).at("bars").size(), 4096u);
  EXPECT_THROW_MSG(normalizeConfig({{"progression", half}, {"repeats", 3}}), std::invalid_argument,
                   "Progression exceeds 4096 bars");
  // 1.0001 bars counts as two towards the limit even though it makes one piece.
  Json items = Json(std::vector<std::string>(4094, "C"));
  items.push_back({{"chord", "G"}, {"bars", 1.0001}});
  EXPECT_EQ(normalizeConfig(items).at("bars").size(), 4095u);
  Json over = Json(std::vector<std::string>(4095, "C"));
  over.push_back({{"chord", "G"}, {"bars", 1.0001}});
  EXPECT_THROW_MSG(normalizeConfig(over), std::invalid_argument, "Progression exceeds 4096 bars");
  // 256 bars in one item is the item maximum.
  EXPECT_THROW_MSG(normalizeConfig({{"progression", {{{"chord", "C"}, {"bars", 256.5}}}}}),
                   std::invalid_argument, "bars: out of range");
}

TEST(Timeline, HalfMeasureItemsCanReachTheSegmentMaximum) {
  // Offset half-bars followed by whole bars: every later piece straddles a bar line
  // and is cut in two, so 4096 pieces give 8191 segments.
  Json items = Json::array({{{"chord", "C"}, {"bars", 0.5}}});
  for (int i = 0; i < 4095; ++i) items.push_back("G");
  EXPECT_EQ(normalizeConfig(items).at("bars").size(), 8191u);
}

TEST(Timeline, ReadTimelineRunsTheStartTicks) {
  const Json normalised = normalizeConfig(
      {{"progression", {{{"chord", "C"}, {"bars", 0.5}}, {{"chord", "G7"}, {"bpm", 90}}}},
       {"meter", "4/4"}});
  const std::vector<TimelineSegment> timeline = readTimeline(normalised);
  ASSERT_EQ(timeline.size(), 3u);
  EXPECT_EQ(timeline[0].start_tick, 0);
  EXPECT_EQ(timeline[0].end_tick, 960);
  EXPECT_EQ(timeline[1].start_tick, 960);
  EXPECT_EQ(timeline[2].start_tick, 1920);
  EXPECT_EQ(timeline[2].end_tick, 2880);
  EXPECT_EQ(timeline[2].measure_index, 1);
  EXPECT_EQ(timeline[1].measure_offset_ticks, 960);
  EXPECT_EQ(timeline[1].bpm, 90.0);
  EXPECT_EQ(timeline[1].root, 7);
  EXPECT_EQ(timeline[1].mode, "mixolydian");
  EXPECT_EQ(timeline[1].tones.values(), (std::vector<int>{2, 5, 7, 11}));
  EXPECT_EQ(timeline[1].scale_tones.values(), (std::vector<int>{0, 2, 4, 5, 7, 9, 11}));
}

TEST(Timeline, ItemErrorsInCheckOrder) {
  const auto fails = [](const Json& item, const std::string& message) {
    EXPECT_THROW_MSG(normalizeConfig({{"progression", {item}}}), std::invalid_argument, message);
  };
  fails(5, "progression item must be an object");
  fails(Json::array({"C"}), "progression item must be an object");
  fails(nullptr, "progression item must be an object");
  fails({{"chord", "C"}, {"length", 2}}, "progression item: unknown field length");
  // Unknown key wins over a bad chord; the bad chord over a bad tempo, and so on.
  fails({{"chord", "H"}, {"zz", 1}}, "progression item: unknown field zz");
  fails({{"chord", "H"}, {"bpm", 10}}, "Invalid chord: H");
  fails({{"chord", "C"}, {"bpm", 10}, {"meter", "4/3"}}, "chord bpm: out of range");
  fails({{"chord", "C"}, {"bpm", "90"}}, "chord bpm: expected number");
  fails({{"chord", "C"}, {"meter", "4/3"}, {"scale", "bebop"}}, "Invalid meter");
  fails({{"chord", "C"}, {"scale", "bebop"}, {"scale_root", "H"}}, "Unknown scale");
  fails({{"chord", "C"}, {"scale_root", "H"}, {"bars", 0}}, "Invalid note: H");
  fails({{"chord", "C"}, {"bars", 0}}, "bars: out of range");
  fails({{"chord", "C"}, {"bars", "1"}}, "bars: expected number");
  // Wrong JSON types that are read as strings fail with the library's own errors.
  EXPECT_THROW(normalizeConfig({{"progression", {{{"chord", 7}}}}}), nlohmann::json::type_error);
  EXPECT_THROW(normalizeConfig({{"progression", {{{"bars", 2}}}}}), nlohmann::json::out_of_range);
  EXPECT_THROW(normalizeConfig({{"progression", {{{"chord", "C"}, {"scale", 1}}}}}),
               nlohmann::json::type_error);
}

TEST(Timeline, ItemRecordsKeepWhatWasWritten) {
  const Json bars =
      normalizeConfig(
          {{"progression",
            {{{"chord", "  Am7  "}, {"scale", "blues"}, {"scale_root", "d"}, {"bpm", 90}}}}})
          .at("bars");
  const Json& s = bars.at(0);
  EXPECT_EQ(s.at("chord"), "  Am7  ");
  EXPECT_EQ(s.at("scale_root"), "d");
  EXPECT_EQ(s.at("scale"), "blues");
  EXPECT_EQ(s.at("mode"), "blues");
  EXPECT_EQ(s.at("mode_root"), 2);
  EXPECT_TRUE(s.at("bpm").is_number_float());
  EXPECT_EQ(s.at("tones"), Json::array({9, 0, 4, 7}));
}

}  // namespace
}  // namespace tavrena
