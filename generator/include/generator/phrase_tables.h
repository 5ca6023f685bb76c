#pragma once
#include <array>
#include <cstdint>

namespace tavrena {

// Fixed planning tables; constant-initialised, so every thread sees them ready.

// Melodic cells: four scale-step offsets each, indexed 0..7.
inline constexpr std::array<std::array<std::int32_t, 4>, 8> kMelodicCells = {{
    {0, 1, 2, 1},
    {0, 2, 1, 3},
    {0, -1, -2, 0},
    {0, 1, 3, 2},
    {0, -2, -1, 1},
    {0, 0, 2, 1},
    {0, 3, 2, 1},
    {0, -1, 1, 0},
}};

// A rhythm cell: `count` durations in rhythm units.
struct RhythmCell {
  std::int32_t count;
  std::array<std::int32_t, 6> units;
};

// Rhythm cells, indexed 0..11; each lasts 8 units.
inline constexpr std::array<RhythmCell, 12> kRhythmCells = {{
    {4, {2, 1, 1, 4}},
    {4, {3, 1, 2, 2}},
    {5, {1, 1, 2, 1, 3}},
    {4, {2, 2, 2, 2}},
    {5, {1, 3, 1, 1, 2}},
    {4, {4, 2, 1, 1}},
    {5, {1, 1, 1, 1, 4}},
    {3, {3, 3, 2}},
    {5, {3, 1, 1, 1, 2}},
    {5, {1, 2, 1, 2, 2}},
    {4, {2, 3, 1, 2}},
    {4, {1, 1, 3, 3}},
}};

// Replaces the bar's rhythm in triplet bars.
inline constexpr RhythmCell kTripletRhythm = {6, {1, 1, 1, 2, 1, 3}};

// Choice lists indexed by a draw.
inline constexpr std::array<std::int32_t, 4> kSequenceSteps = {-2, -1, 1, 2};
inline constexpr std::array<std::int32_t, 3> kResponseStretches = {1, 2, 2};
inline constexpr std::array<double, 4> kRegisters = {0.2, 0.3, 0.4, 0.5};
inline constexpr std::array<std::int32_t, 2> kDirections = {-1, 1};
inline constexpr std::array<std::int32_t, 3> kRunLengths = {4, 6, 8};

}  // namespace tavrena
