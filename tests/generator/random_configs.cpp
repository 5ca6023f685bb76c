#include "random_configs.h"

#include <array>
#include <cmath>
#include <string>
#include <utility>

namespace tavrena::testing {

namespace {

constexpr std::array kChords = {"C",      "Am",     "F",    "G7",   "Dm7",   "E7",    "Bb",
                                "Ebmaj7", "F#m7b5", "Bdim", "Caug", "Dsus2", "Asus4", "E5",
                                "A6",     "Dm6",    "G9",   "Cm9",  "Fmaj9", "Cadd9", "Gdim7",
                                "Cmmaj7", "Db",     "Ab7",  "C#m",  "Gb",    "B7",    "Em"};
constexpr std::pair<const char*, const char*> kCadences[] = {
    {"G7", "C"}, {"E7", "Am"}, {"B7", "Em"}, {"Ab7", "Db"}, {"G9", "Cm9"}, {"A6", "Dm6"}};
constexpr std::array kMeters = {"4/4", "3/4", "6/8", "7/8", "5/4", "12/8", "2/2", "9/8", "2/4"};
constexpr std::array kScales = {"ionian",
                                "major",
                                "dorian",
                                "phrygian",
                                "lydian",
                                "mixolydian",
                                "aeolian",
                                "minor",
                                "locrian",
                                "harmonic_minor",
                                "melodic_minor",
                                "phrygian_dominant",
                                "minor_pentatonic",
                                "major_pentatonic",
                                "blues"};
constexpr std::array kNotes = {"C", "D", "Eb", "E", "F", "F#", "G", "Ab", "A", "Bb", "B", "C#"};
constexpr std::array kBars = {1.0, 1.0, 1.0, 0.5, 2.0, 1.5, 0.25, 0.75};

template <typename T, std::size_t N>
const T& pick(std::mt19937_64& rng, const std::array<T, N>& values) {
  return values[std::uniform_int_distribution<std::size_t>(0, N - 1)(rng)];
}

int uniformInt(std::mt19937_64& rng, int low, int high) {
  return std::uniform_int_distribution<int>(low, high)(rng);
}

double uniformReal(std::mt19937_64& rng, double low, double high) {
  return std::uniform_real_distribution<double>(low, high)(rng);
}

bool chance(std::mt19937_64& rng, double p) {
  return uniformReal(rng, 0, 1) < p;
}

// Probabilities hit their bounds now and then, where the rules change most.
double probability(std::mt19937_64& rng, double high) {
  const int mode = uniformInt(rng, 0, 5);
  if (mode == 0) return 0.0;
  if (mode == 1) return high;
  return uniformReal(rng, 0, high);
}

}  // namespace

Json randomConfig(std::mt19937_64& rng, int maxBars) {
  Json config = Json::object();
  const int repeats = chance(rng, 0.2) ? 2 : 1;
  int budget = maxBars / repeats;
  Json progression = Json::array();
  while (budget > 0 && progression.size() < 12) {
    const double bars = pick(rng, kBars);
    const int pieces = static_cast<int>(std::ceil(bars));
    if (pieces > budget) break;
    budget -= pieces;
    // Dominant-to-tonic pairs now and then, where the resolution rules apply.
    std::string chord = pick(rng, kChords);
    if (!progression.empty() && chance(rng, 0.3)) {
      const Json& last = progression.back();
      const std::string previous =
          last.is_string() ? last.get<std::string>() : last.at("chord").get<std::string>();
      for (const auto& [dominant, tonic] : kCadences)
        if (previous == dominant) chord = tonic;
    }
    if (bars == 1.0 && chance(rng, 0.5)) {
      progression.push_back(chord);
      continue;
    }
    Json item = {{"chord", chord}, {"bars", bars}};
    if (chance(rng, 0.15)) item["meter"] = pick(rng, kMeters);
    if (chance(rng, 0.15)) item["bpm"] = uniformReal(rng, 40, 240);
    if (chance(rng, 0.1)) item["scale"] = pick(rng, kScales);
    if (chance(rng, 0.1)) item["scale_root"] = pick(rng, kNotes);
    progression.push_back(item);
  }
  if (progression.empty()) progression.push_back(pick(rng, kChords));
  config["progression"] = progression;
  config["repeats"] = repeats;
  config["bpm"] = chance(rng, 0.5) ? 120.0 : uniformReal(rng, 20, 400);
  if (chance(rng, 0.6)) config["meter"] = pick(rng, kMeters);
  config["harmony"] = chance(rng, 0.7) ? "chord_modes" : "global";
  if (chance(rng, 0.3)) config["key"] = pick(rng, kNotes);
  if (chance(rng, 0.3)) config["scale"] = pick(rng, kScales);
  const int seedKind = uniformInt(rng, 0, 9);
  if (seedKind == 0) {
    config["seed"] = nullptr;
  } else if (seedKind > 1) {  // 1: no seed at all
    config["seed"] = std::uniform_int_distribution<std::int64_t>(0, 9007199254740991)(rng);
  }

  // Narrow ranges often: the range edges are where runs turn and resolutions fail.
  const int low = uniformInt(rng, 40, 76);
  const int high = chance(rng, 0.3) ? low + 12 : uniformInt(rng, low + 12, 88);
  config["solo"] = {
      {"low_note", low},
      {"high_note", high},
      {"density", uniformReal(rng, 0.1, 1.0)},
      {"rest_probability", probability(rng, 0.8)},
      {"phrase_bars", uniformInt(rng, 1, 8)},
      {"velocity", uniformInt(rng, 1, 127)},
      {"humanize_ms", uniformReal(rng, 0, 30)},
      {"gate", uniformReal(rng, 0.25, 1)},
      {"program", uniformInt(rng, 0, 127)},
      {"chord_target_probability", probability(rng, 1)},
      {"run_probability", probability(rng, 1)},
      {"motif_variation", probability(rng, 1)},
      {"syncopation", probability(rng, 1)},
      {"triplet_probability", probability(rng, 1)},
      {"chromatic_probability", probability(rng, 1)},
      {"color_probability", probability(rng, 1)},
      {"bends", chance(rng, 0.8)},
      {"slides", chance(rng, 0.8)},
      {"pitch_bend_range", uniformInt(rng, 2, 12)},
      {"articulations_per_phrase", uniformInt(rng, 0, 8)},
  };
  return config;
}

}  // namespace tavrena::testing
