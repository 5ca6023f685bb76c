#pragma once
// The scales and modes a configuration may name: the one table that mode choice, the
// published schema and so the editor's pickers read.
#include <array>
#include <string_view>

namespace tavrena::detail {

// name, intervals above the root, characteristic (colour) interval or -1.
struct ScaleRow {
  std::string_view name;
  std::array<int, 7> intervals;
  int count;
  int colour;
};
inline constexpr ScaleRow kScales[] = {
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

}  // namespace tavrena::detail
