// process() at 48 kHz in 512-sample blocks with 16 preview voices sounding, as a
// share of the real-time budget of one block (512 / 48000 s = 10.67 ms). The
// counter "budget_%" is that share; the target is below 1 %.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "memory_stream.h"
#include "playback/build.h"
#include "playback/preview_tone.h"
#include "playback/scheduler.h"
#include "pluginterfaces/vst/ivstevents.h"
#include "processor.h"
#include "state/state.h"
#include "theory/config.h"

namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;
using tavrena::Json;

constexpr double kRate = 48000.0;
constexpr int32 kBlock = 512;
constexpr double kBudgetSeconds = kBlock / kRate;

// Sixteen pitches struck together on every quarter note for the whole phrase, so
// that all sixteen voices stay audible (they decay for half a second at most).
Json sixteenVoiceState() {
  Json notes = Json::array();
  for (int quarter = 0; quarter < 32; ++quarter) {
    for (int pitch = 48; pitch < 64; ++pitch) {
      notes.push_back({{"start", quarter}, {"length", 1.0}, {"pitch", pitch}, {"velocity", 100}});
    }
  }
  Json state = tavrena::defaultState();
  state["sync"] = false;
  state["variants"][0] = notes;
  return tavrena::normalizeState(state);
}

// Runs block() once per iteration and reports the mean wall time of a block as a
// percentage of its real-time budget.
template <class Block>
void measureBlocks(benchmark::State& state, Block&& block) {
  std::int64_t blocks = 0;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    block();
    ++blocks;
  }
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  if (blocks > 0) state.counters["budget_%"] = elapsed.count() / blocks / kBudgetSeconds * 100.0;
}

// Discards events as cheaply as a host's preallocated list would store them.
class DiscardingEventList : public IEventList {
 public:
  int32 PLUGIN_API getEventCount() override { return 0; }
  tresult PLUGIN_API getEvent(int32, Event&) override { return kResultFalse; }
  tresult PLUGIN_API addEvent(Event& e) override {
    benchmark::DoNotOptimize(e);
    ++count;
    return kResultOk;
  }
  tresult PLUGIN_API queryInterface(const TUID, void** obj) override {
    *obj = nullptr;
    return kNoInterface;
  }
  uint32 PLUGIN_API addRef() override { return 1; }
  uint32 PLUGIN_API release() override { return 1; }
  long count = 0;
};

void BM_ProcessSixteenVoices(benchmark::State& state) {
  IPtr<tavrena::Processor> processor = owned(new tavrena::Processor());
  tavrena::testing::MemoryStream stream(tavrena::serializeState(sixteenVoiceState()));
  if (processor->setState(&stream) != kResultOk) state.SkipWithError("state refused");
  ProcessSetup setup{kRealtime, kSample32, kBlock, kRate};
  processor->setupProcessing(setup);
  processor->setActive(true);
  processor->setProcessing(true);
  // The preview switch arrives as a message.
  struct Play : IMessage, IAttributeList {
    FIDString PLUGIN_API getMessageID() override { return "TavrenaPlayback"; }
    void PLUGIN_API setMessageID(FIDString) override {}
    IAttributeList* PLUGIN_API getAttributes() override { return this; }
    tresult PLUGIN_API setInt(AttrID, int64) override { return kResultFalse; }
    tresult PLUGIN_API getInt(AttrID, int64& v) override {
      v = 1;
      return kResultOk;
    }
    tresult PLUGIN_API setFloat(AttrID, double) override { return kResultFalse; }
    tresult PLUGIN_API getFloat(AttrID, double&) override { return kResultFalse; }
    tresult PLUGIN_API setString(AttrID, const TChar*) override { return kResultFalse; }
    tresult PLUGIN_API getString(AttrID, TChar*, uint32) override { return kResultFalse; }
    tresult PLUGIN_API setBinary(AttrID, const void*, uint32) override { return kResultFalse; }
    tresult PLUGIN_API getBinary(AttrID, const void*&, uint32&) override { return kResultFalse; }
    tresult PLUGIN_API queryInterface(const TUID, void** obj) override {
      *obj = nullptr;
      return kNoInterface;
    }
    uint32 PLUGIN_API addRef() override { return 1; }
    uint32 PLUGIN_API release() override { return 1; }
  } play;
  processor->notify(&play);

  std::vector<float> left(kBlock), right(kBlock);
  float* channels[] = {left.data(), right.data()};
  AudioBusBuffers bus{};
  bus.numChannels = 2;
  bus.channelBuffers32 = channels;
  DiscardingEventList events;
  ProcessData data{};
  data.processMode = kRealtime;
  data.symbolicSampleSize = kSample32;
  data.numSamples = kBlock;
  data.numOutputs = 1;
  data.outputs = &bus;
  data.outputEvents = &events;
  for (int i = 0; i < 200; ++i) processor->process(data);  // all sixteen voices struck

  measureBlocks(state, [&] {
    processor->process(data);
    benchmark::DoNotOptimize(left.data());
    benchmark::ClobberMemory();
  });
  state.counters["events/block"] =
      benchmark::Counter(static_cast<double>(events.count), benchmark::Counter::kAvgIterations);
  processor->setProcessing(false);
  processor->setActive(false);
}
BENCHMARK(BM_ProcessSixteenVoices);

// The scheduler and the tone generator alone, as process runs them.
void BM_SchedulerAndToneSixteenVoices(benchmark::State& state) {
  tavrena::PlaybackData data;
  tavrena::buildPlaybackData(sixteenVoiceState(), data);
  tavrena::PlayState play;
  tavrena::PreviewTone tone;
  tavrena::VoiceCommandBuffer commands;
  struct Mix : tavrena::ToneOutput {
    void write(int32 first, const double* samples, int32 count) noexcept override {
      for (int32 i = 0; i < count; ++i)
        out[static_cast<std::size_t>(first + i)] = float(samples[i]);
    }
    std::vector<float> out = std::vector<float>(kBlock);
  } mix;
  auto block = [&] {
    commands.clear();
    tavrena::BlockOutput out{nullptr, &commands};
    tavrena::advancePlayback(play, data, {kBlock, kRate, true, false, play.position}, out);
    tavrena::renderPreviewTone(tone, commands, data.pitchBendRange, kRate, kBlock, mix);
  };
  for (int i = 0; i < 200; ++i) block();
  int sounding = 0;
  for (const auto& voice : tone.voices) sounding += voice.amplitude > tavrena::kSilentAmplitude;
  if (sounding != 16) state.SkipWithError("expected sixteen sounding voices");

  measureBlocks(state, [&] {
    block();
    benchmark::DoNotOptimize(mix.out.data());
    benchmark::ClobberMemory();
  });
}
BENCHMARK(BM_SchedulerAndToneSixteenVoices);

}  // namespace
