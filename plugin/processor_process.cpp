// Processor::process and what it needs on the audio thread: the adapters from the
// playback library's outputs to the host's event list and audio buffers.
#include <cmath>

#include "pluginterfaces/vst/ivstevents.h"
#include "pluginterfaces/vst/ivstmidicontrollers.h"
#include "pluginterfaces/vst/ivstprocesscontext.h"
#include "processor.h"
#include "theory/config_rules.h"

using namespace Steinberg;

namespace tavrena {
namespace {

// Fills host events on the stack and hands them to the block's event list.
class EventListOutput final : public MidiOutput {
 public:
  explicit EventListOutput(Vst::IEventList* list) : list_(list) {}

  void emit(const OutputEvent& source) noexcept override {
    Vst::Event event{};
    event.busIndex = 0;
    event.sampleOffset = source.sampleOffset;
    event.ppqPosition = 0.0;
    event.flags = Vst::Event::kIsLive;
    switch (source.type) {
      case OutputEvent::Type::noteOn:
        event.type = Vst::Event::kNoteOnEvent;
        event.noteOn.channel = 0;
        event.noteOn.pitch = static_cast<int16>(source.pitch);
        event.noteOn.tuning = 0.0f;
        event.noteOn.velocity = source.velocity;
        event.noteOn.length = 0;
        event.noteOn.noteId = -1;
        break;
      case OutputEvent::Type::noteOff:
        event.type = Vst::Event::kNoteOffEvent;
        event.noteOff.channel = 0;
        event.noteOff.pitch = static_cast<int16>(source.pitch);
        event.noteOff.velocity = 0.0f;
        event.noteOff.noteId = -1;
        event.noteOff.tuning = 0.0f;
        break;
      case OutputEvent::Type::controller:
        event.type = Vst::Event::kLegacyMIDICCOutEvent;
        event.midiCCOut.controlNumber = static_cast<uint8>(source.controlNumber);
        event.midiCCOut.channel = 0;
        event.midiCCOut.value = static_cast<int8>(source.value);
        event.midiCCOut.value2 = static_cast<int8>(source.value2);
        break;
    }
    list_->addEvent(event);
  }

 private:
  Vst::IEventList* list_;
};

// Writes the mono preview to every channel of every output bus, as 64-bit
// samples for kSample64 blocks and 32-bit samples otherwise.
class AudioBusOutput final : public ToneOutput {
 public:
  explicit AudioBusOutput(Vst::ProcessData& data) : data_(data) {
    if (data_.outputs == nullptr) return;
    for (int32 bus = 0; bus < data_.numOutputs; ++bus) data_.outputs[bus].silenceFlags = 0;
  }

  void write(int32 first, const double* samples, int32 count) noexcept override {
    if (data_.outputs == nullptr) return;
    const bool wide = data_.symbolicSampleSize == Vst::kSample64;
    for (int32 b = 0; b < data_.numOutputs; ++b) {
      const Vst::AudioBusBuffers& bus = data_.outputs[b];
      for (int32 c = 0; c < bus.numChannels; ++c) {
        if (wide) {
          if (bus.channelBuffers64 == nullptr || bus.channelBuffers64[c] == nullptr) continue;
          Vst::Sample64* out = bus.channelBuffers64[c] + first;
          for (int32 i = 0; i < count; ++i) out[i] = samples[i];
        } else {
          if (bus.channelBuffers32 == nullptr || bus.channelBuffers32[c] == nullptr) continue;
          Vst::Sample32* out = bus.channelBuffers32[c] + first;
          for (int32 i = 0; i < count; ++i) out[i] = static_cast<Vst::Sample32>(samples[i]);
        }
      }
    }
  }

 private:
  Vst::ProcessData& data_;
};

}  // namespace

bool Processor::adoptPlayback_rt() noexcept {
  if (!dataPending.load(std::memory_order_acquire)) return false;
  // The previous live data becomes the builder's next buffer.
  liveData.swap(buildData);
  dataPending.store(false, std::memory_order_release);
  return true;
}

Processor::HostBlock Processor::readHostContext_rt(const Vst::ProcessContext* context) noexcept {
  HostBlock host;
  if (context == nullptr) {
    hostPlaying.store(false, std::memory_order_relaxed);
    hostHasPpq.store(false, std::memory_order_relaxed);
    return host;
  }
  host.playing = (context->state & Vst::ProcessContext::kPlaying) != 0;
  hostPlaying.store(host.playing, std::memory_order_relaxed);
  // A position that is not a number would stick: no later host position could
  // ever differ from it by more than a jump's worth.
  if ((context->state & Vst::ProcessContext::kProjectTimeMusicValid) != 0 &&
      std::isfinite(context->projectTimeMusic)) {
    host.hasPpq = true;
    host.ppq = context->projectTimeMusic;
    hostPpq.store(host.ppq, std::memory_order_relaxed);
  }
  hostHasPpq.store(host.hasPpq, std::memory_order_relaxed);
  if ((context->state & Vst::ProcessContext::kTempoValid) != 0 && context->tempo >= kMinBpm &&
      context->tempo <= kMaxBpm) {
    host.tempoValid = true;
    host.tempo = context->tempo;
    hostBpm.store(host.tempo, std::memory_order_relaxed);
  }
  if ((context->state & Vst::ProcessContext::kTimeSigValid) != 0 && context->timeSigNumerator > 0 &&
      context->timeSigDenominator > 0) {
    hostNumerator.store(context->timeSigNumerator, std::memory_order_relaxed);
    hostDenominator.store(context->timeSigDenominator, std::memory_order_relaxed);
    beatsPerBar.store(4.0 / context->timeSigDenominator * context->timeSigNumerator,
                      std::memory_order_relaxed);
  }
  return host;
}

tresult PLUGIN_API Processor::process(Vst::ProcessData& data) TAVRENA_NONBLOCKING {
  if (adoptPlayback_rt()) dataChangeUnplayed = true;
  const HostBlock host = readHostContext_rt(data.processContext);

  const bool follow = liveData.sync && host.playing && host.hasPpq;
  // The host tempo drives synced playback, also while the host is stopped.
  if (liveData.sync && host.tempoValid) liveData.bpm = host.tempo;
  const bool active = follow || previewRequested.load(std::memory_order_relaxed);

  const double sampleRate = processSetup.sampleRate;
  // A data change adopted here is remembered for the next block that plays.
  if (data.numSamples <= 0 || !(sampleRate > 0.0)) return kResultOk;

  const std::int32_t restarts = restartCount.load(std::memory_order_relaxed);
  bool relocate = dataChangeUnplayed || restarts != lastRestartCount;
  dataChangeUnplayed = false;
  lastRestartCount = restarts;

  double start = restarts != 0 && relocate ? 0.0 : play.position;
  if (follow) {
    start = host.ppq;
    // More than four samples' worth away from where the host should be: a jump.
    if (std::fabs(host.ppq - expectedHostPpq) > (4.0 / 60.0) / sampleRate * liveData.bpm) {
      relocate = true;
    }
    expectedHostPpq = host.ppq + data.numSamples * liveData.bpm * (1.0 / 60.0) / sampleRate;
  }

  voiceCommands.clear();
  EventListOutput events(data.outputEvents);
  BlockOutput out{data.outputEvents != nullptr ? &events : nullptr, &voiceCommands};
  advancePlayback(play, liveData, {data.numSamples, sampleRate, active, relocate, start}, out);
  playPosition.store(play.position, std::memory_order_relaxed);

  AudioBusOutput audio(data);
  renderPreviewTone(tone, voiceCommands, liveData.pitchBendRange, sampleRate, data.numSamples,
                    audio);
  return kResultOk;
}

}  // namespace tavrena
