#pragma once
// A piano-roll picture of a state's selected variant, so that a solo can be looked at
// without a DAW: a chord lane with the chord names, bar lines, and the notes placed
// by pitch and time, shaded by velocity.
#include <string>

#include "theory/json.h"

namespace tavrena::cli {

// state: a normalised state document. Returns a standalone SVG document.
std::string renderPianoRollSvg(const Json& state);

}  // namespace tavrena::cli
