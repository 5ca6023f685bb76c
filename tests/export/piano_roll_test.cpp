// The piano-roll picture and the file helpers shared by the MIDI-writing commands.
#include <gtest/gtest.h>

#include <string>

#include "piano_roll_svg.h"
#include "solo_files.h"
#include "state/state.h"

namespace tavrena::cli {
namespace {

std::size_t count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

Json note(double start, double length, int pitch, int velocity) {
  return {{"start", start}, {"length", length}, {"pitch", pitch}, {"velocity", velocity}};
}

TEST(PianoRoll, DrawsChordsBarsAndTheSelectedVariantsNotes) {
  // Half a bar of C, then G across the bar line: three segments, two measures.
  const Json state = normalizeState(
      {{"config", {{"progression", {{{"chord", "  C  "}, {"bars", 0.5}}, "G"}}}},
       {"variation", 2},
       {"variants",
        {Json::array({note(0, 1, 60, 100)}), Json::array(),
         Json::array({note(1, 1, 60, 127), note(2.5, 0.5, 67, 1), note(5, 1, 72, 64)})}}});
  const std::string svg = renderPianoRollSvg(state);
  EXPECT_EQ(svg.rfind("<svg xmlns=\"http://www.w3.org/2000/svg\"", 0), 0u);
  EXPECT_EQ(svg.substr(svg.size() - 7), "</svg>\n");
  EXPECT_EQ(count(svg, "<svg"), count(svg, "</svg>"));
  EXPECT_EQ(count(svg, "<g"), count(svg, "</g>"));

  EXPECT_EQ(count(svg, "class=\"note\""), 3u);
  EXPECT_EQ(count(svg, "class=\"chord\""), 3u);
  EXPECT_EQ(count(svg, "class=\"bar\""), 2u);
  EXPECT_NE(svg.find(">C</text>"), std::string::npos);  // blanks trimmed for display
  EXPECT_EQ(count(svg, ">G</text>"), 2u);

  // 6 quarter notes at 48 units each after a 36-unit margin; rows of 8 units from
  // pitch 85 (the range 55..84 plus a spare row) down, starting 32 units from the top.
  EXPECT_NE(svg.find("x=\"84\" y=\"232\" width=\"48\""), std::string::npos) << svg;  // C4 at 1
  EXPECT_NE(svg.find("x=\"156\" y=\"176\" width=\"24\""), std::string::npos);        // G4
  EXPECT_NE(svg.find("x=\"276\" y=\"136\" width=\"48\""), std::string::npos);        // C5
  // Velocity shading: the loudest note opaque, the softest faint.
  EXPECT_NE(svg.find("fill-opacity=\"1\""), std::string::npos);
  EXPECT_NE(svg.find("fill-opacity=\"0.26\""), std::string::npos);
}

TEST(PianoRoll, WidensThePitchRangeToNotesOutsideIt) {
  const Json state = normalizeState(
      {{"config", {{"progression", {"C"}}}},
       {"variants",
        {Json::array({note(0, 1, 0, 90), note(1, 1, 127, 90)}), Json::array(), Json::array()}}});
  const std::string svg = renderPianoRollSvg(state);
  // 128 rows of 8 units plus the lane and margins.
  EXPECT_NE(svg.find("height=\"1062\""), std::string::npos) << svg.substr(0, 200);
  EXPECT_NE(svg.find(">C-1</text>"), std::string::npos);
  EXPECT_NE(svg.find(">C9</text>"), std::string::npos);
}

TEST(PianoRoll, LongPhrasesKeepAVisibleScale) {
  const Json state = normalizeState({{"config", {{"progression", {"C", "G"}}, {"repeats", 128}}}});
  const std::string svg = renderPianoRollSvg(state);
  // 1024 quarter notes at the minimum of 3 units each, plus the margins.
  EXPECT_EQ(svg.rfind("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"3116\"", 0), 0u);
  EXPECT_EQ(count(svg, "class=\"bar\""), 256u);
}

TEST(SoloFiles, SuggestedNamesDropFoldersAndDrives) {
  const std::pair<const char*, const char*> rows[] = {
      {"solo.mid", "solo.mid"},
      {"C:\\Music\\take1.mid", "take1.mid"},
      {"C:take2.mid", "take2.mid"},
      {"/home/user/solos/take3.mid", "take3.mid"},
      {"mixed/dir\\take4.mid", "take4.mid"},
      {"folder/", ""},
      {" blank name .mid", " blank name .mid"},
      {"Соло.mid", "Соло.mid"},
  };
  for (const auto& [output, name] : rows) EXPECT_EQ(suggestedFileName(output), name) << output;
  EXPECT_EQ(defaultMidiPath(normalizeState({{"config", {{"progression", {"C"}}}}})), "solo.mid");
  EXPECT_EQ(defaultMidiPath(normalizeState(
                {{"config", {{"progression", {"C"}}, {"output", "D:\\x\\My solo.mid"}}}})),
            "My solo.mid");
  EXPECT_EQ(
      defaultMidiPath(normalizeState({{"config", {{"progression", {"C"}}, {"output", "out/"}}}})),
      "solo.mid");
}

}  // namespace
}  // namespace tavrena::cli
