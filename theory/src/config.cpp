#include "theory/config.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "solo_fields.h"
#include "theory/chords.h"
#include "theory/json_read.h"
#include "theory/message_text.h"
#include "theory/scales.h"
#include "theory/timeline.h"

namespace tavrena {
namespace {

using detail::kSoloAliases;
using detail::kSoloFields;
using detail::SoloKind;

constexpr std::size_t kSoloFieldCount = std::size(kSoloFields);

bool isWhole(double value) {
  return value == std::trunc(value);
}

Json defaultSolo() {
  Json solo = Json::object();
  for (const auto& field : kSoloFields) {
    const std::string name(field.name);
    if (field.kind == SoloKind::Boolean)
      solo[name] = field.fallback != 0;
    else if (isWhole(field.fallback))  // whole defaults are JSON integers (humanize_ms 9 too)
      solo[name] = static_cast<std::int64_t>(field.fallback);
    else
      solo[name] = field.fallback;
  }
  return solo;
}

std::size_t soloFieldIndex(std::string_view name) {
  for (std::size_t i = 0; i < kSoloFieldCount; ++i)
    if (kSoloFields[i].name == name) return i;
  return kSoloFieldCount;
}

// The user's values are only looked at where they lie; the result is built from
// checked scalars, so nothing the user sent is ever copied.
Json normalizeSolo(const Json* user) {
  const Json empty = Json::object();
  if (user == nullptr) user = &empty;
  if (!user->is_object()) throw std::invalid_argument("solo must be an object");

  for (const auto& [alias, canonical] : kSoloAliases)
    if (user->contains(alias) && user->contains(canonical))
      throw std::invalid_argument("Duplicate solo alias");

  // Renaming an alias only ever yields a known field, so the first unknown key in
  // ascending order is the same before and after the aliases are moved.
  std::array<const Json*, kSoloFieldCount> given{};
  for (const auto& [key, value] : user->items()) {
    std::string_view name = key;
    for (const auto& [alias, canonical] : kSoloAliases)
      if (alias == name) name = canonical;
    const std::size_t index = soloFieldIndex(name);
    if (index == kSoloFieldCount)
      throw std::invalid_argument("Unknown solo field: " + echoText(key));
    given[index] = &value;
  }

  Json solo = defaultSolo();
  for (std::size_t i = 0; i < kSoloFieldCount; ++i) {
    const auto& field = kSoloFields[i];
    if (field.kind == SoloKind::Boolean) continue;
    const std::string name(field.name);
    const Json& value = given[i] != nullptr ? *given[i] : solo[name];
    const double number = checkNumber(value, "solo." + name, field.minimum, field.maximum,
                                      field.kind == SoloKind::Integer);
    if (field.kind == SoloKind::Integer)
      solo[name] = static_cast<std::int64_t>(number);
    else
      solo[name] = number;
  }
  for (std::size_t i = 0; i < kSoloFieldCount; ++i) {
    const auto& field = kSoloFields[i];
    if (field.kind != SoloKind::Boolean || given[i] == nullptr) continue;
    const std::string name(field.name);
    if (!given[i]->is_boolean()) throw std::invalid_argument("solo." + name + " must be boolean");
    solo[name] = given[i]->get<bool>();
  }
  if (solo["high_note"].get<std::int64_t>() - solo["low_note"].get<std::int64_t>() <
      detail::kMinNoteSpan)
    throw std::invalid_argument("Note range must span at least an octave");
  return solo;
}

const char* kindName(SoloKind kind) {
  switch (kind) {
    case SoloKind::Integer:
      return "integer";
    case SoloKind::Real:
      return "real";
    case SoloKind::Boolean:
      break;
  }
  return "boolean";
}

bool hasOutputCharacter(const std::string& text) {
  return text.find_first_not_of(kBlanks) != std::string::npos;
}

}  // namespace

void requireObjectFields(const Json& value, std::string_view name,
                         std::initializer_list<std::string_view> allowed) {
  requireObjectFields(value, name, std::span(allowed.begin(), allowed.size()));
}

void requireObjectFields(const Json& value, std::string_view name,
                         std::span<const std::string_view> allowed) {
  if (!value.is_object()) throw std::invalid_argument(std::string(name) + " must be an object");
  // Object keys iterate in ascending byte order, so the first offender is reported.
  for (const auto& [key, member] : value.items()) {
    bool known = false;
    for (std::string_view a : allowed) known = known || key == a;
    if (!known) throw std::invalid_argument(std::string(name) + ": unknown field " + echoText(key));
  }
}

double checkNumber(const Json& value, std::string_view name, double minimum, double maximum,
                   bool integral) {
  if (!value.is_number()) throw std::invalid_argument(std::string(name) + ": expected number");
  const double number = value.get<double>();
  if (!std::isfinite(number) || number < minimum || number > maximum ||
      (integral && !isWhole(number)))
    throw std::invalid_argument(std::string(name) + ": out of range");
  return number;
}

double checkNumber(const Json& value, const NumberRule& rule) {
  return checkNumber(value, rule.name, rule.minimum, rule.maximum, rule.integral);
}

Json defaultConfig() {
  return {
      {"progression", {"Am", "F", "C", "G", "Am", "F", "Dm", "E7"}},
      {"bpm", kDefaultBpm},
      {"meter", kDefaultMeter},
      {"seed", 42},
      {"repeats", kDefaultRepeats},
      {"harmony", kDefaultHarmony},
      {"output", kDefaultOutput},
      {"solo", defaultSolo()},
  };
}

Json normalizeConfig(const Json& input) {
  // A bare array is the progression of an otherwise empty configuration. Fields are
  // read where they lie: the input is never copied, however large or deep.
  const bool bareProgression = input.is_array();
  const auto field = [&](const char* key) -> const Json* {
    if (bareProgression) return std::string_view(key) == "progression" ? &input : nullptr;
    const auto it = input.find(key);
    return it == input.end() ? nullptr : &*it;
  };
  if (!bareProgression) requireObjectFields(input, "config", kConfigKeys);

  const Json* progression = field("progression");
  if (progression == nullptr || !progression->is_array() || progression->empty())
    throw std::invalid_argument("progression must be a non-empty array");

  const Json* bpmValue = field("bpm");
  const double bpm = checkNumber(bpmValue ? *bpmValue : Json(kDefaultBpm), kBpmRule);
  const Json* meterValue = field("meter");
  const Json meter = parseMeter(meterValue ? *meterValue : Json(kDefaultMeter));
  Json pieces = expandProgression(*progression, bpm, meter);

  const Json* repeatsValue = field("repeats");
  const double repeats =
      checkNumber(repeatsValue ? *repeatsValue : Json(kDefaultRepeats), kRepeatsRule);
  const auto passes = static_cast<std::size_t>(repeats);
  const std::size_t firstPass = pieces.size();
  if (firstPass * passes > static_cast<std::size_t>(kMaxBarPieces))
    throw std::invalid_argument("Progression exceeds 4096 bars");
  for (std::size_t pass = 1; pass < passes; ++pass)
    for (std::size_t i = 0; i < firstPass; ++i) pieces.push_back(pieces[i]);

  Json segments = splitIntoSegments(pieces);
  Json solo = normalizeSolo(field("solo"));

  Json seed;
  const Json* seedValue = field("seed");
  if (seedValue != nullptr && !seedValue->is_null())
    seed = static_cast<std::int64_t>(checkNumber(*seedValue, kSeedRule));

  const Json& first = segments.at(0);
  const int firstRoot = first.at("root").get<int>();
  const int secondTone = first.at("tones").at(1).get<int>();
  const char* defaultScale = secondTone == (firstRoot + 3) % 12 ? "minor" : "major";
  const Json* scaleValue = field("scale");
  const std::string scale = scaleValue ? readString(*scaleValue, "scale") : defaultScale;
  if (!isScaleName(scale)) throw std::invalid_argument("Unknown scale");

  int keyRoot = firstRoot;
  const Json* keyValue = field("key");
  if (keyValue != nullptr && !keyValue->is_null())
    keyRoot = parseNoteName(readString(*keyValue, "key"));

  const Json* harmonyValue = field("harmony");
  const std::string harmony =
      harmonyValue ? readString(*harmonyValue, "harmony") : std::string(kDefaultHarmony);
  if (std::ranges::find(kHarmonies, harmony) == kHarmonies.end())
    throw std::invalid_argument("Invalid harmony");

  const std::vector<int> globalTones = scaleTones(keyRoot, scale);
  for (Json& segment : segments) {
    const SegmentMode mode = chooseSegmentMode(segment, harmony, scale, keyRoot, globalTones);
    const int root = segment.at("root").get<int>();
    segment["mode"] = mode.mode;
    segment["mode_root"] = mode.mode_root;
    segment["scale_tones"] = scaleTones(mode.mode_root, mode.mode);
    segment["function"] =
        harmonicFunction(root, segment.at("tones").get<std::vector<int>>(), keyRoot);
  }

  const Json* outputValue = field("output");
  const std::string output =
      outputValue ? readString(*outputValue, "output") : std::string(kDefaultOutput);
  if (!hasOutputCharacter(output)) throw std::invalid_argument("output must be a non-empty path");

  return {{"bars", std::move(segments)},
          {"solo", std::move(solo)},
          {"seed", std::move(seed)},
          {"output", output}};
}

SoloSettings readSoloSettings(const Json& solo) {
  SoloSettings s;
  for (const auto& field : kSoloFields) {
    const Json& value = solo.at(field.name);
    switch (field.kind) {
      case SoloKind::Integer:
        s.*field.integer = value.get<std::int32_t>();
        break;
      case SoloKind::Real:
        s.*field.real = value.get<double>();
        break;
      case SoloKind::Boolean:
        s.*field.boolean = value.get<bool>();
        break;
    }
  }
  return s;
}

Json soloSettingsSchema() {
  const Json defaults = defaultSolo();
  Json fields = Json::array();
  for (const auto& field : kSoloFields) {
    Json row = {
        {"name", field.name}, {"type", kindName(field.kind)}, {"default", defaults.at(field.name)}};
    if (field.kind != SoloKind::Boolean) {
      row["minimum"] = field.minimum;
      row["maximum"] = field.maximum;
      if (field.kind == SoloKind::Integer) {
        row["minimum"] = static_cast<std::int64_t>(field.minimum);
        row["maximum"] = static_cast<std::int64_t>(field.maximum);
      }
    }
    fields.push_back(std::move(row));
  }
  Json aliases = Json::object();
  for (const auto& [alias, canonical] : kSoloAliases) aliases[std::string(alias)] = canonical;
  return {{"fields", std::move(fields)},
          {"aliases", std::move(aliases)},
          {"min_note_span", detail::kMinNoteSpan}};
}

}  // namespace tavrena
