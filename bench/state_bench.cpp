// The state document at the size of a busy project: three variants of 20,000 notes.
#include <benchmark/benchmark.h>

#include "memory_stream.h"
#include "state/state_stream.h"

namespace {

using tavrena::Json;

// 512 bars of 4/4 (2048 quarter notes); notes every 0.1 quarter note.
Json busyInput() {
  Json variants = Json::array();
  for (int v = 0; v < 3; ++v) {
    Json notes = Json::array();
    for (int i = 0; i < 20000; ++i)
      notes.push_back({{"start", i * 0.1 + v * 0.01},
                       {"length", 0.0875},
                       {"pitch", 40 + (i * 7 + v) % 49},
                       {"velocity", 60 + i % 60}});
    variants.push_back(std::move(notes));
  }
  return {{"config", {{"progression", {"Am", "F", "C", "G"}}, {"repeats", 128}}},
          {"variants", std::move(variants)},
          {"variation", 1}};
}

// As the controller applies a state: the new one is built while the current one is
// still held, then replaces it.
void BM_NormalizeState(benchmark::State& state) {
  const Json input = busyInput();
  Json current = tavrena::normalizeState(input);
  for (auto _ : state) current = tavrena::normalizeState(input);
  state.counters["notes"] = static_cast<double>(current.at("variants").at(0).size() * 3);
}
BENCHMARK(BM_NormalizeState)->Unit(benchmark::kMillisecond);

// What the host does on save and load: write the stream, read it back into a state.
void BM_StateStreamRoundTrip(benchmark::State& state) {
  const Json saved = tavrena::normalizeState(busyInput());
  Json loaded;
  std::size_t bytes = 0;
  for (auto _ : state) {
    tavrena::testing::MemoryStream stream;
    if (tavrena::writeStateStream(&stream, saved) != Steinberg::kResultOk)
      state.SkipWithError("write failed");
    stream.rewind();
    if (!tavrena::readStateStream(&stream, loaded)) state.SkipWithError("read failed");
    bytes = stream.data().size();
  }
  state.counters["bytes"] = static_cast<double>(bytes);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_StateStreamRoundTrip)->Unit(benchmark::kMillisecond);

// The two halves of the round trip, to see where its time goes.
void BM_ParseStateText(benchmark::State& state) {
  const std::string text = tavrena::serializeState(tavrena::normalizeState(busyInput()));
  for (auto _ : state)
    benchmark::DoNotOptimize(Json::parse(text.data(), text.data() + text.size()));
}
BENCHMARK(BM_ParseStateText)->Unit(benchmark::kMillisecond);

void BM_SerializeState(benchmark::State& state) {
  const Json saved = tavrena::normalizeState(busyInput());
  for (auto _ : state) benchmark::DoNotOptimize(tavrena::serializeState(saved));
}
BENCHMARK(BM_SerializeState)->Unit(benchmark::kMillisecond);

}  // namespace
