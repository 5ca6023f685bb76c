#include "theory/config.h"

#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "solo_fields.h"
#include "theory/chords.h"
#include "theory/scales.h"
#include "theory/timeline.h"

namespace tavrena {
namespace {

using detail::kSoloAliases;
using detail::kSoloBoolFields;
using detail::kSoloNumberFields;

constexpr double kMaxSeed = 9007199254740991.0;  // 2^53 - 1

bool isWhole(double value) {
  return value == std::trunc(value);
}

Json defaultSolo() {
  Json solo = Json::object();
  for (const auto& field : kSoloNumberFields) {
    // Whole defaults are stored as JSON integers (humanize_ms 9 included).
    if (isWhole(field.fallback))
      solo[std::string(field.name)] = static_cast<std::int64_t>(field.fallback);
    else
      solo[std::string(field.name)] = field.fallback;
  }
  for (std::string_view name : kSoloBoolFields) solo[std::string(name)] = true;
  return solo;
}

Json normalizeSolo(const Json& config) {
  Json solo = defaultSolo();
  const auto found = config.find("solo");
  Json user = found == config.end() ? Json::object() : *found;
  if (!user.is_object()) throw std::invalid_argument("solo must be an object");

  for (const auto& [alias, canonical] : kSoloAliases) {
    const auto it = user.find(alias);
    if (it == user.end()) continue;
    if (user.contains(canonical)) throw std::invalid_argument("Duplicate solo alias");
    Json value = std::move(*it);
    user.erase(std::string(alias));
    user[std::string(canonical)] = std::move(value);
  }
  for (const auto& [key, value] : user.items()) {
    if (!solo.contains(key)) throw std::invalid_argument("Unknown solo field: " + key);
    solo[key] = value;
  }
  for (const auto& field : kSoloNumberFields) {
    const std::string name(field.name);
    const double value =
        checkNumber(solo[name], "solo." + name, field.minimum, field.maximum, field.integral);
    if (field.integral)
      solo[name] = static_cast<std::int64_t>(value);
    else
      solo[name] = value;
  }
  for (std::string_view field : kSoloBoolFields) {
    const std::string name(field);
    if (!solo[name].is_boolean()) throw std::invalid_argument("solo." + name + " must be boolean");
  }
  if (solo["high_note"].get<std::int64_t>() - solo["low_note"].get<std::int64_t>() < 12)
    throw std::invalid_argument("Note range must span at least an octave");
  return solo;
}

bool hasOutputCharacter(const std::string& text) {
  for (char c : text)
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return true;
  return false;
}

}  // namespace

void requireObjectFields(const Json& value, std::string_view name,
                         std::initializer_list<std::string_view> allowed) {
  if (!value.is_object()) throw std::invalid_argument(std::string(name) + " must be an object");
  // Object keys iterate in ascending byte order, so the first offender is reported.
  for (const auto& [key, member] : value.items()) {
    bool known = false;
    for (std::string_view a : allowed) known = known || key == a;
    if (!known) throw std::invalid_argument(std::string(name) + ": unknown field " + key);
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

Json defaultConfig() {
  return {
      {"progression", {"Am", "F", "C", "G", "Am", "F", "Dm", "E7"}},
      {"bpm", 120},
      {"meter", "4/4"},
      {"seed", 42},
      {"repeats", 1},
      {"harmony", "chord_modes"},
      {"output", "solo.mid"},
      {"solo", defaultSolo()},
  };
}

Json normalizeConfig(const Json& input) {
  const Json config = input.is_array() ? Json{{"progression", input}} : input;
  requireObjectFields(config, "config",
                      {"progression", "bpm", "meter", "key", "scale", "seed", "repeats", "solo",
                       "output", "harmony"});

  const auto progression = config.find("progression");
  if (progression == config.end() || !progression->is_array() || progression->empty())
    throw std::invalid_argument("progression must be a non-empty array");

  const double bpm = checkNumber(config.value("bpm", Json(120)), "bpm", 20, 400, false);
  const Json meter = parseMeter(config.value("meter", Json("4/4")));
  Json pieces = expandProgression(*progression, bpm, meter);

  const double repeats = checkNumber(config.value("repeats", Json(1)), "repeats", 1, 128, true);
  const auto passes = static_cast<std::size_t>(repeats);
  const std::size_t firstPass = pieces.size();
  if (firstPass * passes > static_cast<std::size_t>(kMaxBarPieces))
    throw std::invalid_argument("Progression exceeds 4096 bars");
  for (std::size_t pass = 1; pass < passes; ++pass)
    for (std::size_t i = 0; i < firstPass; ++i) pieces.push_back(pieces[i]);

  Json segments = splitIntoSegments(pieces);
  Json solo = normalizeSolo(config);

  Json seed = config.value("seed", Json());
  if (!seed.is_null())
    seed = static_cast<std::int64_t>(checkNumber(seed, "seed", 0, kMaxSeed, true));

  const Json& first = segments.at(0);
  const int firstRoot = first.at("root").get<int>();
  const int secondTone = first.at("tones").at(1).get<int>();
  const char* defaultScale = secondTone == (firstRoot + 3) % 12 ? "minor" : "major";
  const std::string scale =
      config.contains("scale") ? config.at("scale").get<std::string>() : std::string(defaultScale);
  if (!isScaleName(scale)) throw std::invalid_argument("Unknown scale");

  int keyRoot = firstRoot;
  if (config.contains("key") && !config.at("key").is_null())
    keyRoot = parseNoteName(config.at("key").get<std::string>());

  const std::string harmony = config.contains("harmony") ? config.at("harmony").get<std::string>()
                                                         : std::string("chord_modes");
  if (harmony != "global" && harmony != "chord_modes")
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

  const std::string output =
      config.contains("output") ? config.at("output").get<std::string>() : "solo.mid";
  if (!hasOutputCharacter(output)) throw std::invalid_argument("output must be a non-empty path");

  return {{"bars", std::move(segments)},
          {"solo", std::move(solo)},
          {"seed", std::move(seed)},
          {"output", output}};
}

SoloSettings readSoloSettings(const Json& solo) {
  SoloSettings s;
  s.low_note = solo.at("low_note").get<std::int32_t>();
  s.high_note = solo.at("high_note").get<std::int32_t>();
  s.phrase_bars = solo.at("phrase_bars").get<std::int32_t>();
  s.velocity = solo.at("velocity").get<std::int32_t>();
  s.program = solo.at("program").get<std::int32_t>();
  s.pitch_bend_range = solo.at("pitch_bend_range").get<std::int32_t>();
  s.articulations_per_phrase = solo.at("articulations_per_phrase").get<std::int32_t>();
  s.density = solo.at("density").get<double>();
  s.rest_probability = solo.at("rest_probability").get<double>();
  s.chord_target_probability = solo.at("chord_target_probability").get<double>();
  s.run_probability = solo.at("run_probability").get<double>();
  s.motif_variation = solo.at("motif_variation").get<double>();
  s.syncopation = solo.at("syncopation").get<double>();
  s.triplet_probability = solo.at("triplet_probability").get<double>();
  s.chromatic_probability = solo.at("chromatic_probability").get<double>();
  s.color_probability = solo.at("color_probability").get<double>();
  s.humanize_ms = solo.at("humanize_ms").get<double>();
  s.gate = solo.at("gate").get<double>();
  s.bends = solo.at("bends").get<bool>();
  s.slides = solo.at("slides").get<bool>();
  return s;
}

}  // namespace tavrena
