#include "theory/scales.h"

#include <array>
#include <bit>
#include <stdexcept>
#include <string>

#include "scale_table.h"
#include "theory/chords.h"

namespace tavrena {
namespace {

using detail::kScales;
using detail::ScaleRow;

// Automatic chord-scale choice; the order is the tie-break.
constexpr std::string_view kCandidateModes[] = {
    "ionian",  "dorian",  "phrygian",       "lydian",        "mixolydian",
    "aeolian", "locrian", "harmonic_minor", "melodic_minor", "phrygian_dominant",
};

const ScaleRow* findScale(std::string_view name) {
  for (const ScaleRow& row : kScales)
    if (row.name == name) return &row;
  return nullptr;
}

// Pitch classes as bits 0-11; values outside 0-11 match no scale tone.
unsigned pitchClassBits(const std::vector<int>& values) {
  unsigned bits = 0;
  for (int v : values)
    if (v >= 0 && v < 12) bits |= 1u << v;
  return bits;
}

unsigned scaleBits(int root, const ScaleRow& row) {
  unsigned bits = 0;
  for (int i = 0; i < row.count; ++i) bits |= 1u << ((((root + row.intervals[i]) % 12) + 12) % 12);
  return bits;
}

}  // namespace

bool isScaleName(std::string_view name) {
  return findScale(name) != nullptr;
}

std::vector<int> scaleTones(int root, std::string_view name) {
  const ScaleRow* row = findScale(name);
  if (row == nullptr) throw std::out_of_range("unknown scale " + std::string(name));
  bool present[12] = {};
  for (int i = 0; i < row->count; ++i)
    present[(((root + row->intervals[i]) % 12) + 12) % 12] = true;
  std::vector<int> tones;
  for (int pc = 0; pc < 12; ++pc)
    if (present[pc]) tones.push_back(pc);
  return tones;
}

int modeColorTone(std::string_view name) {
  const ScaleRow* row = findScale(name);
  return row == nullptr ? -1 : row->colour;
}

SegmentMode chooseSegmentMode(const Json& segment, std::string_view harmony,
                              std::string_view globalScale, int keyRoot,
                              const std::vector<int>& globalTones) {
  const bool hasScaleRoot = segment.contains("scale_root");
  const int localRoot = hasScaleRoot ? parseNoteName(segment.at("scale_root").get<std::string>())
                                     : segment.at("root").get<int>();
  if (segment.contains("scale")) return {segment.at("scale").get<std::string>(), localRoot};
  if (harmony == "global") return {std::string(globalScale), hasScaleRoot ? localRoot : keyRoot};

  // Bit sets: this runs once per bar, ten candidates each.
  const unsigned chordBits = pitchClassBits(segment.at("tones").get<std::vector<int>>());
  const unsigned globalBits = pitchClassBits(globalTones);
  std::string_view best;
  int bestChord = -1;
  int bestGlobal = -1;
  for (std::string_view candidate : kCandidateModes) {
    const unsigned mode = scaleBits(localRoot, *findScale(candidate));
    const int inChord = std::popcount(mode & chordBits);
    const int inGlobal = std::popcount(mode & globalBits);
    // Strictly greater only: the earliest candidate wins ties.
    if (inChord > bestChord || (inChord == bestChord && inGlobal > bestGlobal)) {
      best = candidate;
      bestChord = inChord;
      bestGlobal = inGlobal;
    }
  }
  return {std::string(best), localRoot};
}

const char* harmonicFunction(int root, const std::vector<int>& tones, int keyRoot) {
  const int interval = (((root - keyRoot) % 12) + 12) % 12;
  if (interval == 0) return "tonic";
  if (interval == 2 || interval == 5) return "predominant";
  if (interval == 7) {
    const int third = (root + 4) % 12;
    for (int t : tones)
      if (t == third) return "dominant";
    return "modal_v";
  }
  return "other";
}

}  // namespace tavrena
