#pragma once
#include <cmath>
#include <cstdint>

namespace tavrena {

// Nearest integer with halves to the even neighbour. Written out instead of
// std::nearbyint so that a host that changes the floating-point rounding mode
// cannot change a generated solo.
inline double roundHalfEven(double x) {
  const double below = std::floor(x);
  const double fraction = x - below;  // exact for every double
  if (fraction > 0.5) return below + 1.0;
  if (fraction < 0.5) return below;
  return std::fmod(below, 2.0) == 0.0 ? below : below + 1.0;
}

// For values the caller knows to lie well inside the 32-bit range.
inline std::int32_t roundToInt(double x) {
  return static_cast<std::int32_t>(roundHalfEven(x));
}

}  // namespace tavrena
