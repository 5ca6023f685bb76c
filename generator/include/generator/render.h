#pragma once
#include <vector>

#include "generator/midi_event.h"
#include "theory/json.h"

namespace tavrena {

// Timed MIDI events of a variant: setup, notes, bends and slides as pitch-bend
// curves with their marker texts. configuration is normalised inside; notes is a
// variant (array of {"start","length","pitch","velocity"}). The list is unsorted.
std::vector<MidiEvent> renderSoloEvents(const Json& configuration, const Json& notes);

}  // namespace tavrena
