// Track chunks of a Standard MIDI File: delta times, events, end of track.
#include <algorithm>
#include <limits>
#include <stdexcept>

#include "generator/midi_bytes.h"
#include "midi/smf_writer.h"

namespace tavrena {

void appendVariableLength(std::vector<std::uint8_t>& out, std::uint32_t value) {
  std::uint8_t groups[5];
  int count = 0;
  do {
    groups[count++] = static_cast<std::uint8_t>(value & 0x7F);
    value >>= 7;
  } while (value != 0);
  while (count > 1) out.push_back(static_cast<std::uint8_t>(groups[--count] | 0x80));
  out.push_back(groups[0]);
}

MidiEvent metaEvent(std::int32_t tick, std::int32_t order, std::uint8_t type,
                    std::string_view data) {
  MidiEvent event{tick, order, {}};
  event.bytes.reserve(data.size() + 6);
  event.bytes.push_back(kMetaEvent);
  event.bytes.push_back(type);
  // A text longer than 127 bytes needs more than one length byte.
  appendVariableLength(event.bytes, static_cast<std::uint32_t>(data.size()));
  event.bytes.insert(event.bytes.end(), data.begin(), data.end());
  return event;
}

std::vector<std::uint8_t> encodeTrackChunk(std::vector<MidiEvent> events, std::int32_t endTick) {
  for (const MidiEvent& event : events) {
    // Clamping would move the event silently; no caller may produce one.
    if (event.tick < 0) throw std::logic_error("MIDI event with a negative tick");
    if (event.bytes.empty()) throw std::logic_error("MIDI event without bytes");
  }
  std::stable_sort(events.begin(), events.end(), [](const MidiEvent& a, const MidiEvent& b) {
    return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
  });

  std::vector<std::uint8_t> chunk = {'M', 'T', 'r', 'k', 0, 0, 0, 0};
  std::size_t capacity = chunk.size() + 5 + 3;  // the end of track and its delta
  for (const MidiEvent& event : events) capacity += event.bytes.size() + 5;
  chunk.reserve(capacity);
  std::int32_t previous = 0;
  for (const MidiEvent& event : events) {
    appendVariableLength(chunk, static_cast<std::uint32_t>(event.tick - previous));
    chunk.insert(chunk.end(), event.bytes.begin(), event.bytes.end());
    previous = event.tick;
  }
  const std::int64_t rest = std::max<std::int64_t>(0, std::int64_t{endTick} - previous);
  appendVariableLength(chunk, static_cast<std::uint32_t>(rest));
  chunk.insert(chunk.end(), {kMetaEvent, kMetaEndOfTrack, 0x00});

  const std::size_t length = chunk.size() - 8;
  if (length > std::numeric_limits<std::uint32_t>::max())
    throw std::length_error("MIDI track longer than a chunk can hold");
  for (int i = 0; i < 4; ++i) chunk[4 + i] = static_cast<std::uint8_t>(length >> (8 * (3 - i)));
  return chunk;
}

}  // namespace tavrena
