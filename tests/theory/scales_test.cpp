#include "theory/scales.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace tavrena {
namespace {

TEST(Scales, TonesAreAscendingPitchClassesOfTheRoot) {
  EXPECT_EQ(scaleTones(0, "major"), (std::vector<int>{0, 2, 4, 5, 7, 9, 11}));
  EXPECT_EQ(scaleTones(9, "minor"), (std::vector<int>{0, 2, 4, 5, 7, 9, 11}));
  EXPECT_EQ(scaleTones(4, "phrygian_dominant"), (std::vector<int>{0, 2, 4, 5, 8, 9, 11}));
  EXPECT_EQ(scaleTones(9, "minor_pentatonic"), (std::vector<int>{0, 2, 4, 7, 9}));
  EXPECT_EQ(scaleTones(0, "blues"), (std::vector<int>{0, 3, 5, 6, 7, 10}));
  EXPECT_THROW(scaleTones(0, "bebop"), std::out_of_range);
}

TEST(Scales, ExactlyFifteenNamesAreKnown) {
  int known = 0;
  for (const char* name : {"ionian", "major", "dorian", "phrygian", "lydian", "mixolydian",
                           "aeolian", "minor", "locrian", "harmonic_minor", "melodic_minor",
                           "phrygian_dominant", "minor_pentatonic", "major_pentatonic", "blues"})
    known += isScaleName(name);
  EXPECT_EQ(known, 15);
  EXPECT_FALSE(isScaleName("Major"));
  EXPECT_FALSE(isScaleName("pentatonic"));
  EXPECT_FALSE(isScaleName(""));
}

TEST(Scales, ColourTones) {
  const std::pair<const char*, int> rows[] = {
      {"ionian", 11},
      {"dorian", 9},
      {"phrygian", 1},
      {"lydian", 6},
      {"mixolydian", 10},
      {"aeolian", 8},
      {"minor", 8},
      {"locrian", 6},
      {"harmonic_minor", 11},
      {"melodic_minor", 9},
      {"phrygian_dominant", -1},
      {"blues", -1},
      {"major_pentatonic", -1},
      {"nonsense", -1},
  };
  for (const auto& [name, tone] : rows) EXPECT_EQ(modeColorTone(name), tone) << name;
}

TEST(HarmonicFunction, IntervalFromTheKeyDecides) {
  const std::vector<int> major = {7, 11, 2};
  const std::vector<int> minor = {7, 10, 2};
  EXPECT_STREQ(harmonicFunction(0, {0, 4, 7}, 0), "tonic");
  EXPECT_STREQ(harmonicFunction(2, {2, 5, 9}, 0), "predominant");
  EXPECT_STREQ(harmonicFunction(5, {5, 9, 0}, 0), "predominant");
  EXPECT_STREQ(harmonicFunction(7, major, 0), "dominant");
  EXPECT_STREQ(harmonicFunction(7, minor, 0), "modal_v");
  EXPECT_STREQ(harmonicFunction(7, {7, 2}, 0), "modal_v");       // power chord: no third
  EXPECT_STREQ(harmonicFunction(4, {4, 8, 11}, 9), "dominant");  // wraps below the key
  EXPECT_STREQ(harmonicFunction(9, {9, 0, 4}, 0), "other");
}

TEST(SegmentMode, ChordModesScoreChordThenKeyAndEarliestWins) {
  const std::vector<int> aMinor = scaleTones(9, "minor");
  const Json am = {{"root", 9}, {"tones", {9, 0, 4}}};
  const Json e7 = {{"root", 4}, {"tones", {4, 8, 11, 2}}};
  const Json f = {{"root", 5}, {"tones", {5, 9, 0}}};
  EXPECT_EQ(chooseSegmentMode(am, "chord_modes", "minor", 9, aMinor).mode, "aeolian");
  EXPECT_EQ(chooseSegmentMode(e7, "chord_modes", "minor", 9, aMinor).mode, "phrygian_dominant");
  const SegmentMode fMode = chooseSegmentMode(f, "chord_modes", "minor", 9, aMinor);
  EXPECT_EQ(fMode.mode, "lydian");
  EXPECT_EQ(fMode.mode_root, 5);
  // In C major every candidate containing the C triad ties on the chord; ionian is
  // the earliest with all seven tones in the key.
  const Json c = {{"root", 0}, {"tones", {0, 4, 7}}};
  EXPECT_EQ(chooseSegmentMode(c, "chord_modes", "major", 0, scaleTones(0, "major")).mode, "ionian");
}

// The choice by counting members pair by pair, as the rule reads: most chord
// tones, then most key tones, the earliest candidate on a tie.
std::string naiveChordMode(int root, const std::vector<int>& chord, const std::vector<int>& key) {
  auto countIn = [](const std::vector<int>& members, const std::vector<int>& set) {
    int n = 0;
    for (int m : members) n += std::find(set.begin(), set.end(), m) != set.end() ? 1 : 0;
    return n;
  };
  std::string best;
  int bestChord = -1;
  int bestKey = -1;
  for (const char* name : {"ionian", "dorian", "phrygian", "lydian", "mixolydian", "aeolian",
                           "locrian", "harmonic_minor", "melodic_minor", "phrygian_dominant"}) {
    const std::vector<int> mode = scaleTones(root, name);
    const int c = countIn(mode, chord);
    const int k = countIn(mode, key);
    if (c > bestChord || (c == bestChord && k > bestKey)) {
      best = name;
      bestChord = c;
      bestKey = k;
    }
  }
  return best;
}

TEST(SegmentMode, ChordModesAgreeWithCountingEveryRootQualityAndKey) {
  // Chord tones as intervals over the root; the last row repeats a tone.
  const std::vector<std::vector<int>> qualities = {
      {0, 4, 7},     {0, 3, 7},    {0, 3, 6}, {0, 4, 8}, {0, 4, 7, 10},     {0, 3, 7, 10},
      {0, 4, 7, 11}, {0, 3, 6, 9}, {0, 5, 7}, {0, 7},    {0, 4, 7, 10, 14}, {0, 7, 12}};
  int compared = 0;
  for (const char* keyScale : {"major", "minor", "blues", "harmonic_minor"}) {
    for (int keyRoot = 0; keyRoot < 12; keyRoot += 5) {
      const std::vector<int> key = scaleTones(keyRoot, keyScale);
      for (int root = 0; root < 12; ++root) {
        for (const std::vector<int>& quality : qualities) {
          std::vector<int> tones;
          for (int v : quality) tones.push_back((root + v) % 12);
          const Json segment = {{"root", root}, {"tones", tones}};
          EXPECT_EQ(chooseSegmentMode(segment, "chord_modes", keyScale, keyRoot, key).mode,
                    naiveChordMode(root, tones, key))
              << keyScale << " on " << keyRoot << ", chord " << Json(tones).dump();
          ++compared;
        }
      }
    }
  }
  EXPECT_EQ(compared, 4 * 3 * 12 * 12);
}

TEST(SegmentMode, NamedScaleAndScaleRootOverrideInBothHarmonies) {
  const std::vector<int> cMajor = scaleTones(0, "major");
  const Json blues = {{"root", 9}, {"tones", {9, 0, 4}}, {"scale", "blues"}};
  const Json bluesOnD = {
      {"root", 9}, {"tones", {9, 0, 4}}, {"scale", "blues"}, {"scale_root", "D"}};
  for (const char* harmony : {"global", "chord_modes"}) {
    const SegmentMode a = chooseSegmentMode(blues, harmony, "major", 0, cMajor);
    EXPECT_EQ(a.mode, "blues");
    EXPECT_EQ(a.mode_root, 9);
    const SegmentMode b = chooseSegmentMode(bluesOnD, harmony, "major", 0, cMajor);
    EXPECT_EQ(b.mode, "blues");
    EXPECT_EQ(b.mode_root, 2);
  }
  const Json dm7 = {{"root", 2}, {"tones", {2, 5, 9, 0}}};
  const Json dm7OnD = {{"root", 2}, {"tones", {2, 5, 9, 0}}, {"scale_root", "D"}};
  EXPECT_EQ(chooseSegmentMode(dm7, "global", "major", 0, cMajor).mode_root, 0);
  const SegmentMode withRoot = chooseSegmentMode(dm7OnD, "global", "major", 0, cMajor);
  EXPECT_EQ(withRoot.mode, "major");
  EXPECT_EQ(withRoot.mode_root, 2);
}

}  // namespace
}  // namespace tavrena
