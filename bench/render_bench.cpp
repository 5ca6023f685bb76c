// Rendering a solo to audio through FluidSynth (tavrena render's work: the MIDI
// file, the SoundFont loaded, the synthesis and the WAV file) for 8, 64 and 512
// bars of the default phrase at 120 bpm, as a real-time factor: seconds of audio
// per second of one core's time. The target is at least 50 for 64 bars.
#include <benchmark/benchmark.h>

#include <atomic>

#include "audio/solo_audio.h"
#include "audio/soundfont_lookup.h"
#include "generator/generate.h"
#include "phrase_config.h"

namespace {

// The default configuration with its progression repeated to `bars` bars, and its
// variant 0 generated.
tavrena::Json soloState(int bars) {
  static const std::atomic<bool> kRun{false};
  const tavrena::Json config = tavrena::bench::defaultConfigOfBars(bars);
  return {{"config", config},
          {"variants",
           {tavrena::generateSolo(config, kRun), tavrena::Json::array(), tavrena::Json::array()}}};
}

void renderEachIteration(benchmark::State& state, bool chords) {
  const int bars = static_cast<int>(state.range(0));
  const tavrena::Json solo = soloState(bars);
  tavrena::SoloAudioOptions options;
  options.audio.soundFont = tavrena::findSoundFont("", nullptr);
  options.chords = chords;
  for (auto _ : state) benchmark::DoNotOptimize(tavrena::renderSoloWav(solo, 0, options));
  // Two seconds per bar, and the tail.
  const double audioSeconds = bars * 2.0 + tavrena::kTailSeconds;
  state.counters["audio_s"] = audioSeconds;
  state.counters["realtime_factor"] =
      benchmark::Counter(audioSeconds, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_RenderSolo(benchmark::State& state) {
  renderEachIteration(state, false);
}
BENCHMARK(BM_RenderSolo)->Arg(8)->Arg(64)->Arg(512)->Unit(benchmark::kMillisecond);

void BM_RenderSoloWithChords(benchmark::State& state) {
  renderEachIteration(state, true);
}
BENCHMARK(BM_RenderSoloWithChords)->Arg(64)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
