// The solo generator: the default configuration, dense solos of growing length
// (the cost per note should stay flat), and rendering the longest one.
#include <benchmark/benchmark.h>

#include <atomic>
#include <stdexcept>

#include "generator/generate.h"
#include "generator/render.h"
#include "theory/config.h"

namespace {

const std::atomic<bool> kRun{false};

// Sixteenth notes and runs everywhere, triplets in half the bars, 16-bar phrases.
tavrena::Json denseConfig(int bars) {
  static const char* chords[] = {"Am", "F", "C", "G", "Dm7", "E7", "Am", "G7"};
  tavrena::Json progression = tavrena::Json::array();
  for (int i = 0; i < bars; ++i) progression.push_back(chords[i % 8]);
  tavrena::Json config = tavrena::defaultConfig();
  config["progression"] = progression;
  config["solo"]["density"] = 1.0;
  config["solo"]["run_probability"] = 1.0;
  config["solo"]["triplet_probability"] = 0.5;
  config["solo"]["phrase_bars"] = 16;
  return config;
}

// Generates the configuration once per iteration; returns the solo's note count.
std::size_t generateEachIteration(benchmark::State& state, const tavrena::Json& config) {
  std::size_t notes = 0;
  for (auto _ : state) {
    const tavrena::Json solo = tavrena::generateSolo(config, kRun);
    notes = solo.size();
    benchmark::DoNotOptimize(solo);
  }
  state.counters["notes"] = static_cast<double>(notes);
  return notes;
}

void BM_GenerateDefault(benchmark::State& state) {
  generateEachIteration(state, tavrena::defaultConfig());
}
BENCHMARK(BM_GenerateDefault)->Unit(benchmark::kMillisecond);

void BM_GenerateDense(benchmark::State& state) {
  const std::size_t notes =
      generateEachIteration(state, denseConfig(static_cast<int>(state.range(0))));
  // Seconds per note; flat from 64 to 4096 bars when the search is linear.
  state.counters["per_note"] =
      benchmark::Counter(static_cast<double>(notes), benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
}
BENCHMARK(BM_GenerateDense)->Arg(64)->Arg(512)->Arg(4096)->Unit(benchmark::kMillisecond);

void BM_RenderDense4096(benchmark::State& state) {
  const tavrena::Json config = denseConfig(4096);
  const tavrena::Json solo = tavrena::generateSolo(config, kRun);
  std::size_t events = 0;
  for (auto _ : state) {
    const auto rendered = tavrena::renderSoloEvents(config, solo);
    events = rendered.size();
    benchmark::DoNotOptimize(rendered);
  }
  state.counters["notes"] = static_cast<double>(solo.size());
  state.counters["events"] = static_cast<double>(events);
}
BENCHMARK(BM_RenderDense4096)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
