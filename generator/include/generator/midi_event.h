#pragma once
#include <cstdint>
#include <vector>

namespace tavrena {

// One timed event of the solo as written to a MIDI file: a status byte with its
// data bytes, or FF, meta type, length (variable-length quantity) and data.
// Consumers sort lists stably by (tick, order).
struct MidiEvent {
  std::int32_t tick = 0;   // 480 per quarter note from the start of the phrase
  std::int32_t order = 0;  // precedence among events at the same tick, lower first
  std::vector<std::uint8_t> bytes;
  friend bool operator==(const MidiEvent&, const MidiEvent&) = default;
};

}  // namespace tavrena
