#include "generator/backing.h"

#include "generator/event_order.h"
#include "generator/midi_bytes.h"
#include "theory/timeline.h"
#include "theory/voicing.h"

namespace tavrena {

std::vector<MidiEvent> renderBackingEvents(const Json& normalisedConfig) {
  constexpr std::uint8_t kControl = kStatusControlChange | kBackingChannel;
  std::vector<MidiEvent> events = {
      {0, kOrderProgram, {kStatusProgramChange | kBackingChannel, kBackingProgram}},
      {0, kOrderSetup, {kControl, 0x07, kBackingVolume}},
      {0, kOrderSetup, {kControl, 0x0A, 64}},  // pan centre
  };
  for (const TimelineSegment& segment : readTimeline(normalisedConfig)) {
    for (int note : voiceChord(segment.root, segment.tones.values())) {
      const auto key = static_cast<std::uint8_t>(note);
      events.push_back({segment.start_tick,
                        kOrderNoteOn,
                        {kStatusNoteOn | kBackingChannel, key, kBackingVelocity}});
      events.push_back(
          {segment.end_tick, kOrderNoteOff, {kStatusNoteOff | kBackingChannel, key, 0x00}});
    }
  }
  return events;
}

}  // namespace tavrena
