// The Standard MIDI File of the longest, busiest phrase: 4096 bars, dense settings.
#include <benchmark/benchmark.h>

#include <atomic>

#include "generator/generate.h"
#include "midi/smf_writer.h"
#include "theory/config.h"

namespace {

using tavrena::Json;

// The generator benchmark's dense phrase: 4096 one-bar chords, sixteenths and runs
// everywhere, triplets in half the bars, 16-bar phrases.
Json denseState() {
  static const char* chords[] = {"Am", "F", "C", "G", "Dm7", "E7", "Am", "G7"};
  Json progression = Json::array();
  for (int i = 0; i < 4096; ++i) progression.push_back(chords[i % 8]);
  Json config = tavrena::defaultConfig();
  config["progression"] = progression;
  config["solo"]["density"] = 1.0;
  config["solo"]["run_probability"] = 1.0;
  config["solo"]["triplet_probability"] = 0.5;
  config["solo"]["phrase_bars"] = 16;
  const std::atomic<bool> cancel{false};
  Json notes = tavrena::generateSolo(config, cancel);
  return {{"config", config}, {"variants", {std::move(notes), Json::array(), Json::array()}}};
}

void BM_WriteStandardMidiFile(benchmark::State& state) {
  const Json saved = denseState();
  std::size_t bytes = 0;
  for (auto _ : state) {
    const std::vector<std::uint8_t> file = tavrena::writeStandardMidiFile(saved);
    bytes = file.size();
    benchmark::DoNotOptimize(file.data());
  }
  state.counters["notes"] = static_cast<double>(saved.at("variants").at(0).size());
  state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_WriteStandardMidiFile)->Unit(benchmark::kMillisecond);

}  // namespace
