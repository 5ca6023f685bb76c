#include "theory/voicing.h"

#include <algorithm>

#include "theory/pitch_class_set.h"

namespace tavrena {
namespace {
constexpr int kBassLow = 36;   // C2
constexpr int kUpperLow = 55;  // G3: each pitch class has one place in G3..F#4
}  // namespace

std::vector<int> voiceChord(int root, const std::vector<int>& tones) {
  const int bassClass = PitchClassSet::mod12(root);
  std::vector<int> notes = {kBassLow + bassClass};
  for (int pc : PitchClassSet::of(tones).values())
    if (pc != bassClass) notes.push_back(kUpperLow + PitchClassSet::mod12(pc - kUpperLow));
  std::sort(notes.begin(), notes.end());
  return notes;
}

}  // namespace tavrena
