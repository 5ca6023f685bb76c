#pragma once
#include <atomic>
#include <cstdint>
#include <vector>

#include "generator/seeded_streams.h"
#include "theory/config.h"
#include "theory/json.h"
#include "theory/timeline.h"

namespace tavrena {

// Everything the seeded draws decide for one phrase.
struct PhrasePlan {
  std::vector<std::int32_t> motif;            // 8 scale-step offsets
  std::vector<std::int32_t> call_rhythm;      // rhythm units of the first half
  std::vector<std::int32_t> response_rhythm;  // rhythm units of the answer half
  std::int32_t response = 0;                  // 0 reverse, 1 negate, 2 shift, 3 repeat
  std::int32_t stretch = 1;                   // rhythm multiplier of the answer half
  std::int32_t direction = 1;                 // run direction of the first half
  std::int32_t run_length = 4;                // notes per run
  std::int32_t arch = 0;                      // contour shape
  double register_ = 0.2;  // contour offset within the note range ("register" is a keyword)
  std::int32_t triplet_phase = 0;
  std::int32_t syncopation_phase = 0;
  std::int32_t run_phase = 0;
  std::int32_t variation_phase = 0;
  friend bool operator==(const PhrasePlan&, const PhrasePlan&) = default;
};

// One planned note; times in ticks.
struct NoteSlot {
  std::int32_t start = 0;
  std::int32_t length = 0;
  std::int32_t segment = 0;  // index into the timeline
  std::int32_t measure_index = 0;
  std::int32_t target_pitch = 0;      // MIDI note on the contour
  std::int32_t index_in_segment = 0;  // rests count
  std::int32_t direction = 1;         // run direction of the bar
  bool on_pulse = false;
  bool closing = false;   // closing note of a phrase-final or song-final segment
  bool song_end = false;  // closing note of the last segment
  bool run = false;
  bool colour_slot = false;  // third position of the segment, not a run note
  double accent = 0.15;      // 0.15 .. 1.0
  friend bool operator==(const NoteSlot&, const NoteSlot&) = default;
};

// true for about p x N of any N consecutive n, evenly spread; p = 0 never, p = 1 always.
bool evenHit(std::int32_t n, double p);

// The metre's pulse in ticks: the dotted quarter of compound x/8, else the beat.
std::int32_t pulseTicks(const TimelineSegment& segment);

// Ascending MIDI pitches in [low_note, high_note] on the segment's scale.
std::vector<std::int32_t> scalePool(const TimelineSegment& segment, const SoloSettings& solo);
// The same into `out`, keeping its capacity.
void fillScalePool(const TimelineSegment& segment, const SoloSettings& solo,
                   std::vector<std::int32_t>& out);

// 15 draws, all with index = phrase.
PhrasePlan planPhrase(SeededStreams& streams, std::int32_t phrase);

// The slots of one segment under its phrase's plan, appended to `out`.
// songFinal: the segment is the last of the timeline.
void planSegmentSlots(const PhrasePlan& plan, const TimelineSegment& segment,
                      std::int32_t segmentIndex, bool songFinal, const SoloSettings& solo,
                      std::vector<NoteSlot>& out);

// All slots of the timeline, in time order. Seeds from normalised["seed"] (null = 0).
// Throws kGenerationCancelled, kSha256Unavailable, kSha256Failed.
std::vector<NoteSlot> planNoteSlots(const Json& normalised,
                                    const std::vector<TimelineSegment>& segments,
                                    const SoloSettings& solo, const std::atomic<bool>& cancelFlag);

}  // namespace tavrena
