#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "theory/json.h"
#include "theory/pitch_class_set.h"
#include "theory/ticks.h"

namespace tavrena {

inline constexpr int kTicksPerWhole = 1920;
inline constexpr int kMaxBarPieces = 4096;
inline constexpr int kMaxSegments = 8192;

// "N/D" -> [N, D]. Throws "meter must be N/D" / "Invalid meter" (std::invalid_argument)
// or std::out_of_range "stoi argument out of range" for numbers beyond 32 bits.
Json parseMeter(const Json& value);

// Measure length in ticks of a metre [N, D].
int measureTicks(int numerator, int denominator);

// Checks every item and returns its bar pieces (item record + "length_ticks").
// meter: a parsed metre [N, D]. Does not apply repeats.
Json expandProgression(const Json& progression, double bpm, const Json& meter);

// Cuts bar pieces at measure boundaries and numbers the measures.
Json splitIntoSegments(const Json& pieces);

struct TimelineSegment {
  std::int32_t start_tick = 0;
  std::int32_t end_tick = 0;
  std::int32_t root = 0;
  std::int32_t mode_root = 0;
  std::int32_t numerator = 4;
  std::int32_t denominator = 4;
  std::int32_t measure_index = 0;
  std::int32_t measure_offset_ticks = 0;
  double bpm = 120.0;
  std::string mode;
  PitchClassSet tones;
  PitchClassSet scale_tones;
};

// Reads the "bars" of a normalised configuration. No checking of its own.
std::vector<TimelineSegment> readTimeline(const Json& normalised);

}  // namespace tavrena
