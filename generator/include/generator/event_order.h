#pragma once
// Precedence of rendered events at equal ticks, lower first: an ending note clears
// its bend before the next note starts.
#include <cstdint>

namespace tavrena {

inline constexpr std::int32_t kOrderProgram = 1;
inline constexpr std::int32_t kOrderSetup = 2;
inline constexpr std::int32_t kOrderNoteOff = 3;
inline constexpr std::int32_t kOrderBendReset = 4;  // also the articulation's marker
inline constexpr std::int32_t kOrderBendCentre = 5;
inline constexpr std::int32_t kOrderNoteOn = 6;
inline constexpr std::int32_t kOrderCurve = 7;

}  // namespace tavrena
