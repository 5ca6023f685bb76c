#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

#include "generator/midi_event.h"
#include "theory/json.h"

namespace tavrena {

// The Standard MIDI File (format 1: chord track, solo track) of a state
// document's selected variant.
std::vector<std::uint8_t> writeStandardMidiFile(const Json& state);

// Sorts the events stably by (tick, order) and encodes one "MTrk" chunk ending
// at endTick or at its last event, whichever is later. An event with a negative
// tick or without bytes is a programming error (std::logic_error).
std::vector<std::uint8_t> encodeTrackChunk(std::vector<MidiEvent> events, std::int32_t endTick);

// The chord track's events (name, tempo map, time signatures, one marker per
// segment) for a normalised configuration, unsorted.
std::vector<MidiEvent> chordTrackEvents(const Json& normalisedConfig);

// Appends value as a MIDI variable-length quantity: 7-bit groups, most significant
// first, the top bit set on every byte but the last.
void appendVariableLength(std::vector<std::uint8_t>& out, std::uint32_t value);

// FF type, the data length as a variable-length quantity, the data.
MidiEvent metaEvent(std::int32_t tick, std::int32_t order, std::uint8_t type,
                    std::string_view data);

}  // namespace tavrena
