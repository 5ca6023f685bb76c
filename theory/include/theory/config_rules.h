#pragma once
// The fixed values and limits of a configuration document, each written once:
// normalizeConfig applies them, configurationSchema() hands them to the editor page,
// and the plug-in and the tool read them from here.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tavrena {

// A number a configuration may hold: its name in messages, its bounds, and whether
// it must be whole.
struct NumberRule {
  std::string_view name;
  double minimum;
  double maximum;
  bool integral;
};

inline constexpr double kMinBpm = 20;
inline constexpr double kMaxBpm = 400;

inline constexpr NumberRule kBpmRule{"bpm", kMinBpm, kMaxBpm, false};
inline constexpr NumberRule kChordBpmRule{"chord bpm", kMinBpm, kMaxBpm, false};
inline constexpr NumberRule kRepeatsRule{"repeats", 1, 128, true};
inline constexpr NumberRule kSeedRule{"seed", 0, 9007199254740991.0, true};  // 2^53 - 1
inline constexpr NumberRule kBarsRule{"bars", 1.0 / 32, 256, false};

// Defaults of absent fields. Whole defaults are JSON integers in a document.
inline constexpr std::int64_t kDefaultBpm = 120;
inline constexpr std::int64_t kDefaultRepeats = 1;
inline constexpr std::int64_t kDefaultBars = 1;
inline constexpr std::string_view kDefaultMeter = "4/4";
inline constexpr std::string_view kDefaultOutput = "solo.mid";
inline constexpr std::string_view kDefaultHarmony = "chord_modes";
inline constexpr std::array<std::string_view, 2> kHarmonies = {"global", "chord_modes"};

// A metre N/D: N from 1 to kMaxBeatsPerMeasure, D one of kBeatUnits.
inline constexpr int kMaxBeatsPerMeasure = 32;
inline constexpr std::array<int, 6> kBeatUnits = {1, 2, 4, 8, 16, 32};

// Trimmed from both ends of a chord symbol; an output name needs another character.
inline constexpr std::string_view kBlanks = " \t\r\n";

inline constexpr std::array<std::string_view, 10> kConfigKeys = {
    "progression", "bpm", "meter", "key", "scale", "seed", "repeats", "solo", "output", "harmony"};
inline constexpr std::array<std::string_view, 6> kItemKeys = {"chord", "bpm",   "meter",
                                                              "bars",  "scale", "scale_root"};

// The most a configuration file may hold, as much as the editor imports.
inline constexpr std::size_t kMaxConfigBytes = std::size_t{8} << 20;  // 8 MiB

// Pitch-class names, index = pitch class (0 = C). A note name is a letter of the
// single-letter names, in either case, optionally raised by '#' or lowered by 'b'.
inline constexpr std::array<std::string_view, 12> kSharpNames = {"C",  "C#", "D",  "D#", "E",  "F",
                                                                 "F#", "G",  "G#", "A",  "A#", "B"};
inline constexpr std::array<std::string_view, 12> kFlatNames = {"C",  "Db", "D",  "Eb", "E",  "F",
                                                                "Gb", "G",  "Ab", "A",  "Bb", "B"};
struct Accidental {
  char sign;
  int semitones;
};
inline constexpr std::array<Accidental, 2> kAccidentals = {{{'#', 1}, {'b', -1}}};

}  // namespace tavrena
