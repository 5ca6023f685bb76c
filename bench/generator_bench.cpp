// The solo generator at 64, 512 and 4096 bars, with the default settings and
// with dense ones (the cost per note should stay flat as the solo grows), and
// rendering the longest dense solo.
#include <benchmark/benchmark.h>

#include <atomic>
#include <stdexcept>

#include "generator/generate.h"
#include "generator/render.h"
#include "phrase_config.h"
#include "theory/config.h"

namespace {

const std::atomic<bool> kRun{false};

using tavrena::bench::defaultConfigOfBars;

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

// Generates the configuration once per iteration and reports the note count
// and the time per note in nanoseconds.
void generateEachIteration(benchmark::State& state, const tavrena::Json& config) {
  std::size_t notes = 0;
  for (auto _ : state) {
    const tavrena::Json solo = tavrena::generateSolo(config, kRun);
    notes = solo.size();
    benchmark::DoNotOptimize(solo);
  }
  state.counters["notes"] = static_cast<double>(notes);
  state.counters["ns_per_note"] = benchmark::Counter(
      static_cast<double>(notes) * 1e-9,
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_GenerateDefault(benchmark::State& state) {
  generateEachIteration(state, defaultConfigOfBars(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_GenerateDefault)->Arg(64)->Arg(512)->Arg(4096)->Unit(benchmark::kMillisecond);

void BM_GenerateDense(benchmark::State& state) {
  generateEachIteration(state, denseConfig(static_cast<int>(state.range(0))));
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
