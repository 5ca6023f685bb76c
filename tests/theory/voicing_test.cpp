#include "theory/voicing.h"

#include <gtest/gtest.h>

#include "theory/chords.h"

namespace tavrena {
namespace {

TEST(ChordVoicing, RootInTheBassTheRestOnceInCloseOctave) {
  struct Row {
    const char* chord;
    std::vector<int> notes;
  };
  const Row rows[] = {
      {"C", {36, 55, 64}},           // C2 | G3 E4
      {"Am", {45, 60, 64}},          // A2 | C4 E4
      {"G7", {43, 59, 62, 65}},      // G2 | B3 D4 F4
      {"F#m7b5", {42, 57, 60, 64}},  // F#2 | A3 C4 E4
      {"B9", {47, 57, 61, 63, 66}},  // B2 | A3 C#4 D#4 F#4: the top of the window
      {"Gsus4", {43, 60, 62}},       // G2 | C4 D4
      {"E5", {40, 59}},              // E2 | B3
      {"Cm/Eb", {36, 55, 63}},       // a slash bass is not a chord tone: the root stays
      {"Bdim7", {47, 56, 62, 65}},   // G#3 for the diminished seventh (A flat)
  };
  for (const Row& row : rows) {
    const ChordSymbol chord = parseChordSymbol(row.chord);
    EXPECT_EQ(voiceChord(chord.root, chord.tones), row.notes) << row.chord;
  }
}

TEST(ChordVoicing, EveryRootAndToneStaysInItsRange) {
  for (int root = 0; root < 12; ++root)
    for (int tone = 0; tone < 12; ++tone) {
      const std::vector<int> notes = voiceChord(root, {root, tone, tone + 12});
      ASSERT_GE(notes.size(), 1u);
      EXPECT_EQ(notes[0], 36 + root);
      for (std::size_t i = 1; i < notes.size(); ++i) {
        EXPECT_GE(notes[i], 48);  // C3
        EXPECT_LE(notes[i], 72);  // C5
        EXPECT_EQ(notes[i] % 12, tone);
      }
      EXPECT_EQ(notes.size(), tone == root ? 1u : 2u);
    }
}

}  // namespace
}  // namespace tavrena
