#include "generator/generate.h"

#include <algorithm>

#include "generator/notes.h"
#include "generator/path_search.h"
#include "generator/planning.h"
#include "generator/seeded_streams.h"
#include "theory/config.h"
#include "theory/timeline.h"

namespace tavrena {

Json generateSolo(const Json& configuration, const std::atomic<bool>& cancelFlag) {
  checkCancel(cancelFlag);
  const Json normalised = normalizeConfig(configuration);
  const SoloSettings solo = readSoloSettings(normalised.at("solo"));
  const std::vector<TimelineSegment> segments = readTimeline(normalised);
  const std::vector<NoteSlot> slots = planNoteSlots(normalised, segments, solo, cancelFlag);

  const std::size_t n = slots.size();
  Json notes = Json::array();
  notes.get_ref<Json::array_t&>().reserve(n);  // a note per slot
  std::int32_t prev2 = -1;
  std::int32_t prev1 = -1;
  for (std::size_t i = 0; i < n;) {
    const std::int32_t phrase = slots[i].measure_index / solo.phrase_bars;
    std::size_t j = i + 1;
    while (j < n && slots[j].measure_index / solo.phrase_bars == phrase) ++j;
    // One slot of look-ahead, so the phrase's last note is chosen with its
    // continuation in view; that slot is chosen again with its own phrase.
    const std::vector<std::int32_t> pitches =
        searchMelodicPath(slots, i, std::min(n, j + 1), segments, prev2, prev1, solo, cancelFlag);
    for (std::size_t k = i; k < j; ++k) {
      const std::int32_t pitch = pitches[k - i];
      notes.push_back(assembleNote(slots[k], pitch,
                                   segments[static_cast<std::size_t>(slots[k].segment)], solo));
      prev2 = prev1;
      prev1 = pitch;
    }
    i = j;
  }
  return notes;
}

}  // namespace tavrena
