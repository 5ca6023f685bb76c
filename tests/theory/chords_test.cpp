#include "theory/chords.h"

#include <gtest/gtest.h>

#include "expect_throw_msg.h"

namespace tavrena {
namespace {

TEST(NoteNames, LettersAccidentalsAndWrapAround) {
  const std::pair<const char*, int> rows[] = {
      {"C", 0}, {"c", 0},  {"C#", 1}, {"Db", 1},  {"E", 4},   {"F", 5},  {"G", 7},
      {"A", 9}, {"B", 11}, {"b", 11}, {"bb", 10}, {"Cb", 11}, {"B#", 0}, {"E#", 5},
  };
  for (const auto& [text, pc] : rows) EXPECT_EQ(parseNoteName(text), pc) << text;
}

TEST(NoteNames, RejectsAnythingElseQuotingTheText) {
  for (const char* text : {"H", "", "C##", "Cx", " C", "C ", "c#m", "do"})
    EXPECT_THROW_MSG(parseNoteName(text), std::invalid_argument,
                     std::string("Invalid note: ") + text);
  // Control characters are shown escaped.
  EXPECT_THROW_MSG(parseNoteName("C\n"), std::invalid_argument, "Invalid note: C\\u000a");
}

TEST(ChordSymbols, QualitiesGiveTonesInQualityOrder) {
  struct Row {
    const char* text;
    int root;
    std::vector<int> tones;
  };
  const Row rows[] = {
      {"C", 0, {0, 4, 7}},         {"Cmaj", 0, {0, 4, 7}},       {"Cmajor", 0, {0, 4, 7}},
      {"Am", 9, {9, 0, 4}},        {"Amin", 9, {9, 0, 4}},       {"Aminor", 9, {9, 0, 4}},
      {"G7", 7, {7, 11, 2, 5}},    {"CM7", 0, {0, 4, 7, 11}},    {"Cmaj7", 0, {0, 4, 7, 11}},
      {"CmM7", 0, {0, 3, 7, 11}},  {"Dm7", 2, {2, 5, 9, 0}},     {"Dmin7", 2, {2, 5, 9, 0}},
      {"Bdim", 11, {11, 2, 5}},    {"Bdim7", 11, {11, 2, 5, 8}}, {"Bm7b5", 11, {11, 2, 5, 9}},
      {"Caug", 0, {0, 4, 8}},      {"Dsus2", 2, {2, 4, 9}},      {"Dsus4", 2, {2, 7, 9}},
      {"A5", 9, {9, 4}},           {"C6", 0, {0, 4, 7, 9}},      {"Cm6", 0, {0, 3, 7, 9}},
      {"C9", 0, {0, 4, 7, 10, 2}}, {"Cm9", 0, {0, 3, 7, 10, 2}}, {"CM9", 0, {0, 4, 7, 11, 2}},
      {"Cadd9", 0, {0, 4, 7, 2}},  {"E#m", 5, {5, 8, 0}},        {"Cb", 11, {11, 3, 6}},
      {"C/E", 0, {0, 4, 7}},       {"Am7/G", 9, {9, 0, 4, 7}},   {"  Am7  ", 9, {9, 0, 4, 7}},
      {"\tG\r\n", 7, {7, 11, 2}},  {"cSUS4", 0, {0, 5, 7}},  // upper-case letters other than M are
                                                             // folded
  };
  for (const Row& row : rows) {
    const ChordSymbol chord = parseChordSymbol(row.text);
    EXPECT_EQ(chord.root, row.root) << row.text;
    EXPECT_EQ(chord.tones, row.tones) << row.text;
  }
}

TEST(ChordSymbols, UnsupportedQualitiesQuoteTheUntrimmedText) {
  // "Maj7" becomes "majaj7" and "Min" becomes "majin": both unknown.
  for (const char* text : {"CMaj7", "C7sus4", "AMin", "AMIN", " Cmaj13 ", "Cm7b9", "C m"})
    EXPECT_THROW_MSG(parseChordSymbol(text), std::invalid_argument,
                     std::string("Unsupported chord: ") + text);
}

TEST(ChordSymbols, MalformedSymbolsAreInvalid) {
  for (const char* text : {"C/H", "H7", "", "   ", "/C", "C/E/G", "C/", "7"})
    EXPECT_THROW_MSG(parseChordSymbol(text), std::invalid_argument,
                     std::string("Invalid chord: ") + text);
}

TEST(ChordSymbols, OnlyTheFourBlankCharactersAreTrimmed) {
  // A vertical tab is not trimmed and is not a known quality character.
  EXPECT_THROW_MSG(parseChordSymbol("C\v"), std::invalid_argument, "Unsupported chord: C\\u000b");
}

}  // namespace
}  // namespace tavrena
