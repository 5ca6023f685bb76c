// libFuzzer target: configuration text through the whole path a page write or a
// saved project takes (parse, normalise, generate, render). A std::exception is
// the expected refusal; a crash, a sanitizer report or a broken invariant is a
// finding.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <string_view>
#include <vector>

#include "generator/generate.h"
#include "generator/render.h"
#include "theory/config.h"
#include "theory/json_parse.h"
#include "theory/timeline.h"

namespace {

// Generation time grows with the phrase; a few bars of 4/4 cover every code path.
constexpr std::int32_t kMaxFuzzTicks = 4 * tavrena::kTicksPerWhole;
constexpr std::size_t kMaxFuzzSegments = 16;

[[noreturn]] void finding() {
  std::abort();
}

void run(std::string_view text) {
  using namespace tavrena;
  const Json config = parseJsonText(text);
  const Json normalised = normalizeConfig(config);
  const std::vector<TimelineSegment> timeline = readTimeline(normalised);
  if (timeline.empty()) finding();  // an accepted configuration has at least one segment
  if (timeline.size() > kMaxFuzzSegments || timeline.back().end_tick > kMaxFuzzTicks) return;

  // Normalising is idempotent on the settings it fills in.
  if (normalizeConfig(config) != normalised) finding();

  const std::atomic<bool> cancel{false};
  const Json notes = generateSolo(config, cancel);
  if (!notes.is_array()) finding();
  const double total = timeline.back().end_tick / 480.0;
  for (const Json& note : notes) {
    const double start = note.at("start").get<double>();
    const double length = note.at("length").get<double>();
    const int pitch = note.at("pitch").get<int>();
    const int velocity = note.at("velocity").get<int>();
    // What a state document requires of a note (one tick at least, inside the phrase).
    if (!(start >= 0 && length >= 1.0 / 480 - 1e-9 && start < total &&
          start + length <= total + 1e-6))
      finding();
    if (pitch < 0 || pitch > 127 || velocity < 1 || velocity > 127) finding();
  }
  renderSoloEvents(config, notes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    run(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const std::exception&) {
    // Refused: the expected outcome for most inputs.
  }
  return 0;
}
