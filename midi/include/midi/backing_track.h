#pragma once
#include <cstdint>
#include <vector>

#include "theory/json.h"

namespace tavrena {

// Appends the chord backing (renderBackingEvents) as one more track, named "Chord
// backing", to a Standard MIDI File that writeStandardMidiFile made for this
// configuration, and counts it in the header. The other tracks stay as they are.
// normalisedConfig: a normalizeConfig result.
void appendBackingTrack(std::vector<std::uint8_t>& file, const Json& normalisedConfig);

}  // namespace tavrena
