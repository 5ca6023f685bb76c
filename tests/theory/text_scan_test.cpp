// The hand-written scanners against the regular expressions they replace, over
// every short text from a small alphabet and many random longer ones; and texts
// long enough to have exhausted the stack of a backtracking matcher.
#include "theory/text_scan.h"

#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <string>
#include <vector>

#include "expect_throw_msg.h"
#include "theory/chords.h"
#include "theory/timeline.h"

namespace tavrena {
namespace {

// The reference patterns, exactly as note names, chord symbols and metres were
// first defined.
const std::regex kNotePattern("^([A-Ga-g])([#b]?)$", std::regex::ECMAScript);
const std::regex kChordPattern("^([A-Ga-g][#b]?)([^/]*)(?:/([A-Ga-g][#b]?))?$",
                               std::regex::ECMAScript);
const std::regex kMeterPattern("^([0-9]+)/([0-9]+)$", std::regex::ECMAScript);

// Characters that matter to some pattern, and some that matter to none.
const std::string kAlphabet = std::string("AaBbCGgHh#/mM7 09\n\t\v", 21) + '\0' + "\xC3\xA9x";

void expectSameVerdicts(const std::string& text) {
  SCOPED_TRACE(::testing::PrintToString(text));
  std::smatch m;
  EXPECT_EQ(isNoteNameText(text), std::regex_match(text, m, kNotePattern));

  const auto chord = scanChordSymbol(text);
  ASSERT_EQ(chord.has_value(), std::regex_match(text, m, kChordPattern));
  if (chord) {
    EXPECT_EQ(chord->root, m.str(1));
    EXPECT_EQ(chord->quality, m.str(2));
    EXPECT_EQ(chord->bass, m.str(3));
  }

  const auto meter = scanMeter(text);
  ASSERT_EQ(meter.has_value(), std::regex_match(text, m, kMeterPattern));
  if (meter) {
    EXPECT_EQ(meter->numerator, m.str(1));
    EXPECT_EQ(meter->denominator, m.str(2));
  }
}

TEST(TextScanners, AgreeWithThePatternsOnEveryShortText) {
  std::vector<std::string> texts = {""};
  for (std::size_t length = 1; length <= 3; ++length) {
    std::vector<std::string> longer;
    for (const std::string& t : texts)
      if (t.size() == length - 1)
        for (char c : kAlphabet) longer.push_back(t + c);
    texts.insert(texts.end(), longer.begin(), longer.end());
  }
  for (const std::string& text : texts) expectSameVerdicts(text);
}

TEST(TextScanners, AgreeWithThePatternsOnRandomTexts) {
  // Built from pieces that come close to matching, so that most texts get far.
  const std::vector<std::string> pieces = {"C",  "Bb", "f#", "H", "m",  "maj", "M7", "/",
                                           "/E", "9",  "12", "0", "/4", " ",   "\n", "sus4",
                                           "b",  "#",  "//", "x", "é",  "7b5", "A/", "04"};
  std::mt19937 random(20261209);
  for (int i = 0; i < 40000; ++i) {
    std::string text;
    const int count = static_cast<int>(random() % 6);
    for (int k = 0; k < count; ++k) text += pieces[random() % pieces.size()];
    expectSameVerdicts(text);
  }
}

TEST(TextScanners, HugeTextsAreRefusedQuicklyWithShortMessages) {
  // A 50 kB chord name and a metre with 100,000 digits once overflowed the stack.
  std::string longChord(50001, 'x');
  longChord[0] = 'C';
  const std::string shown = longChord.substr(0, 80) + "\u2026";
  EXPECT_THROW_MSG(parseChordSymbol(longChord), std::invalid_argument,
                   "Unsupported chord: " + shown);
  EXPECT_THROW_MSG(parseChordSymbol(longChord + "/H"), std::invalid_argument,
                   "Invalid chord: " + shown);
  EXPECT_THROW_MSG(parseNoteName(std::string(60000, 'C')), std::invalid_argument,
                   "Invalid note: " + std::string(80, 'C') + "\u2026");
  EXPECT_THROW_MSG(parseMeter(std::string(100000, '9') + "/4"), std::out_of_range,
                   "stoi argument out of range");
  EXPECT_THROW_MSG(parseMeter(std::string(100000, '9') + "/4/"), std::invalid_argument,
                   "meter must be N/D");
  // Leading zeros are not digits that overflow.
  EXPECT_EQ(parseMeter(std::string(100000, '0') + "7/8"), Json::array({7, 8}));
  // Blanks are trimmed however many there are.
  const std::string padded = std::string(100000, ' ') + "Am7" + std::string(100000, '\n');
  EXPECT_EQ(parseChordSymbol(padded).tones, (std::vector<int>{9, 0, 4, 7}));
}

}  // namespace
}  // namespace tavrena
