#include "generator/notes.h"

#include <algorithm>
#include <cmath>

#include "generator/rounding.h"

namespace tavrena {

Json assembleNote(const NoteSlot& slot, std::int32_t pitch, const TimelineSegment& segment,
                  const SoloSettings& solo) {
  const std::int32_t hum =
      roundToInt(solo.humanize_ms * kTicksPerQuarter * segment.bpm * (1.0 / 60000));
  // Off-pulse notes come 0, 1/2 or 1 humanize times late, in turn.
  const std::int32_t shift =
      slot.on_pulse ? 0 : std::min(slot.length - 1, ((slot.index_in_segment % 3) * hum) / 2);
  const std::int32_t start = slot.start + shift;
  const double gate = slot.closing ? 0.97 : solo.gate;
  const std::int32_t duration = std::max(1, roundToInt(slot.length * gate));
  const std::int32_t end = std::min(start + duration, slot.start + slot.length);
  const std::int32_t wobble = roundToInt(std::sin(slot.index_in_segment * 0.7853981633974483) * 3);
  const std::int32_t accent = roundToInt(slot.accent * 12 - 6);
  const std::int32_t velocity = std::clamp(solo.velocity + wobble + accent, 1, 127);
  Json note = Json::object();
  note["start"] = start * kQuarterPerTick;
  note["length"] = (end - start) * kQuarterPerTick;
  note["pitch"] = pitch;
  note["velocity"] = velocity;
  return note;
}

}  // namespace tavrena
