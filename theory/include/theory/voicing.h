#pragma once
#include <vector>

namespace tavrena {

// A keyboard voicing of a chord for a quiet backing, in MIDI notes (C4 = 60):
// the root in the bass octave C2..B2, every other tone once, in close position in
// the octave G3..F#4 (inside C3..C5). root: pitch class; tones: the chord's pitch
// classes, the root among them or not. Ascending.
std::vector<int> voiceChord(int root, const std::vector<int>& tones);

}  // namespace tavrena
