#include "midi/backing_track.h"

#include <stdexcept>

#include "generator/backing.h"
#include "generator/midi_bytes.h"
#include "midi/smf_writer.h"

namespace tavrena {

void appendBackingTrack(std::vector<std::uint8_t>& file, const Json& normalisedConfig) {
  // The header: "MThd", its length, the format, then the track count (big-endian).
  if (file.size() < 14 || file[0] != 'M' || file[1] != 'T' || file[2] != 'h' || file[3] != 'd')
    throw std::logic_error("not a Standard MIDI File");
  const unsigned tracks = (unsigned{file[10]} << 8 | file[11]) + 1;
  if (tracks > 0xFFFF) throw std::length_error("too many MIDI tracks");
  file[10] = static_cast<std::uint8_t>(tracks >> 8);
  file[11] = static_cast<std::uint8_t>(tracks);

  std::vector<MidiEvent> events = renderBackingEvents(normalisedConfig);
  events.insert(events.begin(), metaEvent(0, 0, kMetaTrackName, "Chord backing"));
  // The last chord ends where the phrase ends, as the other tracks do.
  const std::vector<std::uint8_t> chunk = encodeTrackChunk(std::move(events), 0);
  file.insert(file.end(), chunk.begin(), chunk.end());
}

}  // namespace tavrena
