#include "theory/scales.h"

#include <array>
#include <bit>
#include <stdexcept>
#include <string>

#include "theory/chords.h"

namespace tavrena {
namespace {

// name, intervals above the root, characteristic (colour) interval or -1.
struct ScaleRow {
  std::string_view name;
  std::array<int, 7> intervals;
  int count;
  int colour;
};
constexpr ScaleRow kScales[] = {
    {"ionian", {0, 2, 4, 5, 7, 9, 11}, 7, 11},
    {"major", {0, 2, 4, 5, 7, 9, 11}, 7, 11},
    {"dorian", {0, 2, 3, 5, 7, 9, 10}, 7, 9},
    {"phrygian", {0, 1, 3, 5, 7, 8, 10}, 7, 1},
    {"lydian", {0, 2, 4, 6, 7, 9, 11}, 7, 6},
    {"mixolydian", {0, 2, 4, 5, 7, 9, 10}, 7, 10},
    {"aeolian", {0, 2, 3, 5, 7, 8, 10}, 7, 8},
    {"minor", {0, 2, 3, 5, 7, 8, 10}, 7, 8},
    {"locrian", {0, 1, 3, 5, 6, 8, 10}, 7, 6},
    {"harmonic_minor", {0, 2, 3, 5, 7, 8, 11}, 7, 11},
    {"melodic_minor", {0, 2, 3, 5, 7, 9, 11}, 7, 9},
    {"phrygian_dominant", {0, 1, 4, 5, 7, 8, 10}, 7, -1},
    {"minor_pentatonic", {0, 3, 5, 7, 10}, 5, -1},
    {"major_pentatonic", {0, 2, 4, 7, 9}, 5, -1},
    {"blues", {0, 3, 5, 6, 7, 10}, 6, -1},
};

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
