#pragma once
// Builds playback data from a state document. Runs on host and message threads
// (it allocates); the audio thread only ever adopts the finished result.
#include <vector>

#include "generator/midi_event.h"
#include "playback/playback_data.h"
#include "theory/json.h"

namespace tavrena {

// Converts rendered MIDI events into playback events appended to data.events and
// stable-sorts the list by (time, order). Meta events, other statuses and
// malformed events (missing or out-of-range data bytes) are skipped.
void appendRenderedEvents(const std::vector<MidiEvent>& rendered, PlaybackData& data);

// Resets data and fills it from a normalised state document: phrase length,
// tempo points, switches, bend range and program, and the selected variant
// rendered with its bends and slides. Throws what the configuration or the
// renderer throws; data is then left at its defaults (not built).
void buildPlaybackData(const Json& state, PlaybackData& data);

}  // namespace tavrena
