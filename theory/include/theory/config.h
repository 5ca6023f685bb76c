#pragma once
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>

#include "theory/config_rules.h"
#include "theory/json.h"

namespace tavrena {

// The twenty solo settings as the generator and renderer read them.
struct SoloSettings {
  std::int32_t low_note = 55;
  std::int32_t high_note = 84;
  std::int32_t phrase_bars = 4;
  std::int32_t velocity = 96;
  std::int32_t program = 30;
  std::int32_t pitch_bend_range = 12;
  std::int32_t articulations_per_phrase = 3;
  double density = 0.75;
  double rest_probability = 0.15;
  double chord_target_probability = 0.4;
  double run_probability = 0.35;
  double motif_variation = 0.35;
  double syncopation = 0.35;
  double triplet_probability = 0.2;
  double chromatic_probability = 0.08;
  double color_probability = 0.6;
  double humanize_ms = 9.0;
  double gate = 0.88;
  bool bends = true;
  bool slides = true;
};

// Validates a configuration and returns {"bars", "solo", "seed", "output"}.
// Own checks throw std::invalid_argument with fixed texts; a field of the wrong JSON
// type or a missing key throws the library's type_error / out_of_range, its text
// prefixed with the field's path. The input is read in place, never copied.
Json normalizeConfig(const Json& config);

Json defaultConfig();

// Only meaningful on a normalised "solo" object.
SoloSettings readSoloSettings(const Json& solo);

// The twenty solo settings for an editor to build its controls from:
// {"fields": [{"name", "type" ("integer", "real" or "boolean"), "default", and for
// numbers "minimum" and "maximum"}, ... in validation order], "aliases": {older name:
// field}, "min_note_span": least high_note - low_note}.
Json soloSettingsSchema();

void requireObjectFields(const Json& value, std::string_view name,
                         std::initializer_list<std::string_view> allowed);
void requireObjectFields(const Json& value, std::string_view name,
                         std::span<const std::string_view> allowed);

double checkNumber(const Json& value, std::string_view name, double minimum, double maximum,
                   bool integral);
double checkNumber(const Json& value, const NumberRule& rule);

}  // namespace tavrena
