#pragma once

namespace tavrena {

// Musical time in ticks: 480 per quarter note.
inline constexpr int kTicksPerQuarter = 480;

// 1/480: ticks x kQuarterPerTick = quarter notes. Always multiplied, never
// divided by 480, so that every platform gets the same bits.
inline constexpr double kQuarterPerTick = 0.0020833333333333333;

}  // namespace tavrena
