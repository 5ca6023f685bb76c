#pragma once
// Random but valid configurations for invariant and differential tests: random
// progressions (qualities, fractional bars, per-item metres, tempi and scales),
// metres, tempi, harmony modes, seeds and solo settings across their ranges.
#include <random>

#include "theory/json.h"

namespace tavrena::testing {

// At most maxBars bar pieces after repeats.
Json randomConfig(std::mt19937_64& rng, int maxBars);

}  // namespace tavrena::testing
