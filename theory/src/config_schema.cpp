#include "theory/config_schema.h"

#include <cstdint>
#include <string>

#include "chord_qualities.h"
#include "scale_table.h"
#include "theory/config.h"
#include "theory/config_rules.h"
#include "theory/ticks.h"
#include "theory/timeline.h"

namespace tavrena {
namespace {

// A JSON number as a document holds it: whole values as integers.
Json number(double value) {
  const auto whole = static_cast<std::int64_t>(value);
  return static_cast<double>(whole) == value ? Json(whole) : Json(value);
}

Json rule(const char* type, const char* message) {
  return {{"type", type}, {"message", message}};
}

Json numberRule(const NumberRule& limits, const char* message) {
  Json row = rule("number", message);
  row["minimum"] = number(limits.minimum);
  row["maximum"] = number(limits.maximum);
  row["integral"] = limits.integral;
  return row;
}

template <typename Names>
Json names(const Names& list) {
  Json out = Json::array();
  for (const auto& name : list) out.push_back(std::string(name));
  return out;
}

Json configRules() {
  Json fields = {
      {"progression", rule("progression", "progression")},
      {"bpm", numberRule(kBpmRule, "bpm")},
      {"meter", rule("meter", "meter")},
      {"key", rule("note", "note")},
      {"scale", rule("scale", "scale")},
      {"seed", numberRule(kSeedRule, "seed")},
      {"repeats", numberRule(kRepeatsRule, "repeats")},
      {"solo", rule("solo", "solo")},
      {"output", rule("path", "output")},
      {"harmony", rule("choice", "harmony")},
  };
  fields["bpm"]["default"] = kDefaultBpm;
  fields["meter"]["default"] = kDefaultMeter;
  fields["key"]["nullable"] = true;
  fields["seed"]["nullable"] = true;
  fields["seed"]["default"] = nullptr;
  fields["repeats"]["default"] = kDefaultRepeats;
  fields["output"]["default"] = kDefaultOutput;
  fields["harmony"]["default"] = kDefaultHarmony;
  fields["harmony"]["values"] = names(kHarmonies);
  return {{"keys", names(kConfigKeys)},
          {"fields", std::move(fields)},
          {"message", "config"},
          {"unknown_message", "config_key"}};
}

Json itemRules() {
  Json fields = {
      {"chord", rule("chord", "chord")}, {"bpm", numberRule(kChordBpmRule, "chord_bpm")},
      {"meter", rule("meter", "meter")}, {"bars", numberRule(kBarsRule, "bars")},
      {"scale", rule("scale", "scale")}, {"scale_root", rule("note", "note")},
  };
  fields["bars"]["default"] = kDefaultBars;
  return {{"keys", names(kItemKeys)},
          {"fields", std::move(fields)},
          {"message", "item"},
          {"unknown_message", "item_key"}};
}

Json soloRules() {
  Json solo = soloSettingsSchema();
  solo["message"] = "solo";
  solo["unknown_message"] = "solo_key";
  solo["duplicate_message"] = "solo_duplicate";
  solo["boolean_message"] = "solo_boolean";
  solo["note_span_message"] = "note_span";
  return solo;
}

// Intervals as pitch-class offsets from the root, in tone order.
template <typename Row>
Json intervals(const Row& row) {
  Json out = Json::array();
  for (int i = 0; i < row.count; ++i) out.push_back(row.intervals[i] % 12);
  return out;
}

Json scales() {
  Json out = Json::array();
  for (const detail::ScaleRow& row : detail::kScales)
    out.push_back({{"name", row.name}, {"intervals", intervals(row)}});
  return out;
}

Json chordQualities() {
  Json out = Json::array();
  for (const detail::ChordQuality& row : detail::kChordQualities) {
    Json entry = {{"name", row.name}, {"intervals", intervals(row)}};
    if (row.spellingOf != nullptr) entry["spelling_of"] = row.spellingOf;
    out.push_back(std::move(entry));
  }
  return out;
}

Json notes() {
  Json accidentals = Json::object();
  for (const Accidental& a : kAccidentals) accidentals[std::string(1, a.sign)] = a.semitones;
  return {{"sharp", names(kSharpNames)},
          {"flat", names(kFlatNames)},
          {"accidentals", std::move(accidentals)}};
}

}  // namespace

Json configurationSchema() {
  return {
      {"config", configRules()},
      {"item", itemRules()},
      {"default_config", defaultConfig()},
      {"solo", soloRules()},
      {"meter",
       {{"max_numerator", kMaxBeatsPerMeasure},
        {"denominators", kBeatUnits},
        {"message", "meter"}}},
      {"notes", notes()},
      {"scales", scales()},
      {"chord_qualities", chordQualities()},
      {"blanks", kBlanks},
      {"ticks_per_quarter", kTicksPerQuarter},
      {"limits",
       {{"bar_pieces", kMaxBarPieces},
        {"segments", kMaxSegments},
        {"config_bytes", kMaxConfigBytes},
        {"bar_pieces_message", "total_bars"}}},
  };
}

}  // namespace tavrena
