#pragma once
#include <string_view>

namespace tavrena::detail {

// One numeric solo setting: name, default, minimum, maximum, whole numbers only.
// Listed in validation order.
struct SoloNumberField {
  std::string_view name;
  double fallback;
  double minimum;
  double maximum;
  bool integral;
};

inline constexpr SoloNumberField kSoloNumberFields[] = {
    {"low_note", 55, 40, 88, true},
    {"high_note", 84, 40, 88, true},
    {"density", 0.75, 0.1, 1, false},
    {"rest_probability", 0.15, 0, 0.8, false},
    {"phrase_bars", 4, 1, 16, true},
    {"velocity", 96, 1, 127, true},
    {"humanize_ms", 9, 0, 30, false},
    {"gate", 0.88, 0.25, 1, false},
    {"program", 30, 0, 127, true},
    {"chord_target_probability", 0.4, 0, 1, false},
    {"run_probability", 0.35, 0, 1, false},
    {"motif_variation", 0.35, 0, 1, false},
    {"syncopation", 0.35, 0, 1, false},
    {"triplet_probability", 0.2, 0, 1, false},
    {"chromatic_probability", 0.08, 0, 1, false},
    {"color_probability", 0.6, 0, 1, false},
    {"pitch_bend_range", 12, 2, 12, true},
    {"articulations_per_phrase", 3, 0, 8, true},
};

// Boolean settings, validated after every number.
inline constexpr std::string_view kSoloBoolFields[] = {"bends", "slides"};

// Older names, in ascending byte order (the order they are processed in).
struct SoloAlias {
  std::string_view alias;
  std::string_view canonical;
};
inline constexpr SoloAlias kSoloAliases[] = {
    {"chord_tone_weight", "chord_target_probability"},
    {"chromatic_amount", "chromatic_probability"},
    {"modal_color_weight", "color_probability"},
    {"rest_amount", "rest_probability"},
    {"run_amount", "run_probability"},
    {"syncopation_amount", "syncopation"},
    {"triplet_amount", "triplet_probability"},
    {"variation_amount", "motif_variation"},
};

}  // namespace tavrena::detail
