#pragma once
#include <cstdint>
#include <vector>

#include "generator/midi_event.h"
#include "theory/json.h"

namespace tavrena {

// The chord backing's sound: MIDI channel 2, General MIDI "Pad 2 (warm)", kept
// well under the solo.
inline constexpr std::uint8_t kBackingChannel = 1;  // zero-based
inline constexpr std::uint8_t kBackingProgram = 89;
inline constexpr std::uint8_t kBackingVolume = 70;
inline constexpr std::uint8_t kBackingVelocity = 64;

// The progression as a backing: program, volume and pan at tick 0, then each
// segment's chord voiced (voiceChord) and held from its start to its end. Unsorted,
// ordered like the solo's events. normalisedConfig: a normalizeConfig result.
std::vector<MidiEvent> renderBackingEvents(const Json& normalisedConfig);

}  // namespace tavrena
