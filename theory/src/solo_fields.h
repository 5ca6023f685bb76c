#pragma once
// The twenty solo settings: the one list from which the default "solo" object, its
// validation, SoloSettings and the published schema are all derived.
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string_view>
#include <utility>

#include "theory/config.h"

namespace tavrena::detail {

enum class SoloKind { Integer, Real, Boolean };

// One setting: name, kind, default, minimum, maximum (ignored for booleans), and the
// SoloSettings member it fills (the one matching its kind; the others are null).
struct SoloField {
  std::string_view name;
  SoloKind kind;
  double fallback;
  double minimum;
  double maximum;
  std::int32_t SoloSettings::*integer = nullptr;
  double SoloSettings::*real = nullptr;
  bool SoloSettings::*boolean = nullptr;
};

constexpr SoloField integerField(std::string_view name, double fallback, double minimum,
                                 double maximum, std::int32_t SoloSettings::*member) {
  return {name, SoloKind::Integer, fallback, minimum, maximum, member, nullptr, nullptr};
}
constexpr SoloField realField(std::string_view name, double fallback, double minimum,
                              double maximum, double SoloSettings::*member) {
  return {name, SoloKind::Real, fallback, minimum, maximum, nullptr, member, nullptr};
}
constexpr SoloField booleanField(std::string_view name, bool fallback, bool SoloSettings::*member) {
  return {name, SoloKind::Boolean, fallback ? 1.0 : 0.0, 0, 1, nullptr, nullptr, member};
}

// Numbers are validated in this order, the booleans after all numbers.
inline constexpr SoloField kSoloFields[] = {
    integerField("low_note", 55, 40, 88, &SoloSettings::low_note),
    integerField("high_note", 84, 40, 88, &SoloSettings::high_note),
    realField("density", 0.75, 0.1, 1, &SoloSettings::density),
    realField("rest_probability", 0.15, 0, 0.8, &SoloSettings::rest_probability),
    integerField("phrase_bars", 4, 1, 16, &SoloSettings::phrase_bars),
    integerField("velocity", 96, 1, 127, &SoloSettings::velocity),
    realField("humanize_ms", 9, 0, 30, &SoloSettings::humanize_ms),
    realField("gate", 0.88, 0.25, 1, &SoloSettings::gate),
    integerField("program", 30, 0, 127, &SoloSettings::program),
    realField("chord_target_probability", 0.4, 0, 1, &SoloSettings::chord_target_probability),
    realField("run_probability", 0.35, 0, 1, &SoloSettings::run_probability),
    realField("motif_variation", 0.35, 0, 1, &SoloSettings::motif_variation),
    realField("syncopation", 0.35, 0, 1, &SoloSettings::syncopation),
    realField("triplet_probability", 0.2, 0, 1, &SoloSettings::triplet_probability),
    realField("chromatic_probability", 0.08, 0, 1, &SoloSettings::chromatic_probability),
    realField("color_probability", 0.6, 0, 1, &SoloSettings::color_probability),
    booleanField("bends", true, &SoloSettings::bends),
    booleanField("slides", true, &SoloSettings::slides),
    integerField("pitch_bend_range", 12, 2, 12, &SoloSettings::pitch_bend_range),
    integerField("articulations_per_phrase", 3, 0, 8, &SoloSettings::articulations_per_phrase),
};

// "high_note" minus "low_note" must be at least this.
inline constexpr int kMinNoteSpan = 12;

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

// --- The table and SoloSettings must describe the same record. ---

// Converts to anything: counts the members of an aggregate by initialising it.
struct AnyMember {
  template <typename T>
  constexpr operator T() const {
    return T{};
  }
};
template <typename T, std::size_t... I>
constexpr bool initialisableWith(std::index_sequence<I...>) {
  return requires {
    T{(static_cast<void>(I), AnyMember{})...};
  };
}

constexpr bool tableMatchesSettings() {
  constexpr SoloSettings defaults{};
  const std::size_t n = std::size(kSoloFields);
  for (std::size_t i = 0; i < n; ++i) {
    const SoloField& f = kSoloFields[i];
    // Exactly the member of its kind, holding the table's default.
    switch (f.kind) {
      case SoloKind::Integer:
        if (!f.integer || f.real || f.boolean || defaults.*f.integer != f.fallback) return false;
        break;
      case SoloKind::Real:
        if (!f.real || f.integer || f.boolean || defaults.*f.real != f.fallback) return false;
        break;
      case SoloKind::Boolean:
        if (!f.boolean || f.integer || f.real || defaults.*f.boolean != (f.fallback != 0))
          return false;
        break;
    }
    if (f.kind != SoloKind::Boolean && !(f.minimum <= f.fallback && f.fallback <= f.maximum))
      return false;
    for (std::size_t j = 0; j < i; ++j) {
      const SoloField& g = kSoloFields[j];
      if (g.name == f.name) return false;
      if ((f.integer && f.integer == g.integer) || (f.real && f.real == g.real) ||
          (f.boolean && f.boolean == g.boolean))
        return false;
    }
  }
  return true;
}

// Aliases are processed in ascending byte order, and each names a setting it is not.
constexpr bool aliasesAreOrderedAndKnown() {
  for (std::size_t i = 0; i < std::size(kSoloAliases); ++i) {
    const SoloAlias& a = kSoloAliases[i];
    if (i > 0 && !(kSoloAliases[i - 1].alias < a.alias)) return false;
    bool canonicalKnown = false;
    for (const SoloField& f : kSoloFields) {
      if (f.name == a.alias) return false;
      canonicalKnown = canonicalKnown || f.name == a.canonical;
    }
    if (!canonicalKnown) return false;
  }
  return true;
}

// Twenty distinct members, each with its row, and no member without one.
static_assert(std::size(kSoloFields) == 20);
static_assert(initialisableWith<SoloSettings>(std::make_index_sequence<20>{}) &&
                  !initialisableWith<SoloSettings>(std::make_index_sequence<21>{}),
              "SoloSettings has a member without a row in kSoloFields");
static_assert(tableMatchesSettings(), "kSoloFields and SoloSettings disagree");
static_assert(aliasesAreOrderedAndKnown());

}  // namespace tavrena::detail
