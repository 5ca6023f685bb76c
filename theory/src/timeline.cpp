#include "theory/timeline.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <stdexcept>

#include "theory/chords.h"
#include "theory/config.h"
#include "theory/json_read.h"
#include "theory/message_text.h"
#include "theory/scales.h"
#include "theory/text_scan.h"

namespace tavrena {
namespace {

// Decimal digits to a 32-bit integer. The standard library words its overflow
// message differently on each platform; ours is fixed. Stops at the first digit
// that overflows, however long the text.
int toInt32(std::string_view digits) {
  std::int64_t value = 0;
  for (char c : digits) {
    value = value * 10 + (c - '0');
    if (value > std::numeric_limits<std::int32_t>::max())
      throw std::out_of_range("stoi argument out of range");
  }
  return static_cast<int>(value);
}

bool isBeatUnit(int d) {
  return std::ranges::find(kBeatUnits, d) != kBeatUnits.end();
}

// A member of a progression item, or nullptr; a string item has only its chord.
const Json* itemField(const Json& item, const char* key) {
  if (!item.is_object()) return nullptr;
  const auto it = item.find(key);
  return it == item.end() ? nullptr : &*it;
}

}  // namespace

Json parseMeter(const Json& value) {
  if (!value.is_string()) throw std::invalid_argument("meter must be N/D");
  const std::string& text = value.get_ref<const std::string&>();
  const std::optional<MeterParts> parts = scanMeter(text);
  if (!parts) throw std::invalid_argument("meter must be N/D");
  const int n = toInt32(parts->numerator);
  const int d = toInt32(parts->denominator);
  if (n < 1 || n > kMaxBeatsPerMeasure || !isBeatUnit(d))
    throw std::invalid_argument("Invalid meter");
  return Json::array({n, d});
}

int measureTicks(int numerator, int denominator) {
  return numerator * kTicksPerWhole / denominator;
}

Json expandProgression(const Json& progression, double bpm, const Json& meter) {
  Json pieces = Json::array();
  const Json globalBpm = bpm;
  const Json oneBar = kDefaultBars;
  std::int64_t pieceCount = 0;
  for (std::size_t index = 0; index < progression.size(); ++index) {
    // Read in place: an item is never copied before it has been checked.
    const Json& item = progression[index];
    const std::string path = elementPath("progression", index);
    if (!item.is_string()) requireObjectFields(item, "progression item", kItemKeys);

    const Json& chordValue = item.is_string() ? item : memberAt(item, "chord", path);
    const std::string& chordText = readString(chordValue, fieldPath(path, "chord"));
    const ChordSymbol chord = parseChordSymbol(chordText);
    Json record = {{"chord", chordText}, {"root", chord.root}, {"tones", chord.tones}};

    const Json* itemBpm = itemField(item, "bpm");
    record["bpm"] = checkNumber(itemBpm ? *itemBpm : globalBpm, kChordBpmRule);
    const Json* meterValue = itemField(item, "meter");
    const Json itemMeter = meterValue ? parseMeter(*meterValue) : meter;
    record["meter"] = itemMeter;

    if (const Json* scaleValue = itemField(item, "scale")) {
      const std::string& scale = readString(*scaleValue, fieldPath(path, "scale"));
      if (!isScaleName(scale)) throw std::invalid_argument("Unknown scale");
      record["scale"] = scale;
    }
    if (const Json* rootValue = itemField(item, "scale_root")) {
      const std::string& root = readString(*rootValue, fieldPath(path, "scale_root"));
      parseNoteName(root);
      record["scale_root"] = root;
    }

    const Json* barsValue = itemField(item, "bars");
    const double bars = checkNumber(barsValue ? *barsValue : oneBar, kBarsRule);
    const int n = itemMeter[0].get<int>();
    const int d = itemMeter[1].get<int>();
    // std::round rounds halves away from zero, as item lengths require.
    auto length = static_cast<std::int32_t>(std::round(n * bars * (kTicksPerWhole / d)));
    const int measure = measureTicks(n, d);
    if (pieceCount + static_cast<std::int64_t>(std::ceil(bars)) > kMaxBarPieces)
      throw std::invalid_argument("Progression exceeds 4096 bars");
    while (length > 0) {
      Json piece = record;
      const std::int32_t take = std::min(measure, length);
      piece["length_ticks"] = take;
      pieces.push_back(std::move(piece));
      length -= take;
      ++pieceCount;
    }
  }
  return pieces;
}

Json splitIntoSegments(const Json& pieces) {
  Json segments = Json::array();
  int measureIndex = 0;
  int offset = 0;
  int previousMeasure = 0;
  for (const Json& piece : pieces) {
    const Json& meter = piece.at("meter");
    const int measure = measureTicks(meter[0].get<int>(), meter[1].get<int>());
    // A metre change with the measure half full closes that measure unfinished.
    if (previousMeasure != 0 && measure != previousMeasure && offset != 0) {
      ++measureIndex;
      offset = 0;
    }
    int remaining = piece.at("length_ticks").get<int>();
    while (remaining > 0) {
      const int take = std::min(measure - offset, remaining);
      Json segment = piece;
      segment["length_ticks"] = take;
      segment["measure_index"] = measureIndex;
      segment["measure_offset_ticks"] = offset;
      segments.push_back(std::move(segment));
      offset += take;
      remaining -= take;
      if (offset == measure) {
        ++measureIndex;
        offset = 0;
      }
    }
    previousMeasure = measure;
  }
  if (segments.size() > static_cast<std::size_t>(kMaxSegments))
    throw std::invalid_argument("Too many chord segments");
  return segments;
}

std::vector<TimelineSegment> readTimeline(const Json& normalised) {
  const Json& bars = normalised.at("bars");
  std::vector<TimelineSegment> timeline;
  timeline.reserve(bars.size());
  std::int32_t tick = 0;
  for (const Json& s : bars) {
    TimelineSegment seg;
    const Json& meter = s.at("meter");
    seg.numerator = meter.at(0).get<std::int32_t>();
    seg.denominator = meter.at(1).get<std::int32_t>();
    const auto length = s.contains("length_ticks") ? s.at("length_ticks").get<std::int32_t>()
                                                   : measureTicks(seg.numerator, seg.denominator);
    seg.start_tick = tick;
    seg.end_tick = tick + length;
    seg.root = s.at("root").get<std::int32_t>();
    seg.mode_root = s.at("mode_root").get<std::int32_t>();
    seg.measure_index = s.at("measure_index").get<std::int32_t>();
    seg.measure_offset_ticks = s.at("measure_offset_ticks").get<std::int32_t>();
    seg.bpm = s.at("bpm").get<double>();
    seg.mode = s.at("mode").get<std::string>();
    for (const Json& t : s.at("tones")) seg.tones.insert(t.get<int>());
    for (const Json& t : s.at("scale_tones")) seg.scale_tones.insert(t.get<int>());
    tick = seg.end_tick;
    timeline.push_back(std::move(seg));
  }
  return timeline;
}

}  // namespace tavrena
