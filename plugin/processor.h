#pragma once
// The audio processor: keeps its own copy of the state document, builds playback
// data from the selected variant, and in every block plays it on the "Solo MIDI"
// event output and through the preview tone on the "Preview" audio output,
// following the host's transport or running as a free preview.
//
// Threads: host and message threads (setState, getState, setActive, notify)
// serialise on `mutex`; the audio thread (process) never takes it. It owns
// `liveData`, the play state and the voices, and adopts a finished build by
// swapping buffers when `dataPending` is set (released by the builder, acquired
// by the audio thread). Transport values and preview switches are atomics.
#include <atomic>
#include <cstdint>
#include <mutex>

#include "playback/playback_data.h"
#include "playback/preview_tone.h"
#include "playback/scheduler.h"
#include "public.sdk/source/vst/vstaudioeffect.h"
#include "realtime.h"
#include "theory/json.h"

namespace tavrena {

class Processor : public Steinberg::Vst::AudioEffect {
 public:
  Processor();

  // Adds the two output buses once the SDK's own initialisation succeeded.
  Steinberg::tresult PLUGIN_API initialize(Steinberg::FUnknown* context) override;

  // One output, mono or stereo, and no inputs.
  Steinberg::tresult PLUGIN_API setBusArrangements(Steinberg::Vst::SpeakerArrangement* inputs,
                                                   Steinberg::int32 numIns,
                                                   Steinberg::Vst::SpeakerArrangement* outputs,
                                                   Steinberg::int32 numOuts) override;
  Steinberg::tresult PLUGIN_API canProcessSampleSize(Steinberg::int32 symbolicSampleSize) override;
  Steinberg::uint32 PLUGIN_API getLatencySamples() override { return 0; }
  Steinberg::uint32 PLUGIN_API getTailSamples() override { return Steinberg::Vst::kNoTail; }

  // Host thread.
  Steinberg::tresult PLUGIN_API setState(Steinberg::IBStream* stream) override;
  Steinberg::tresult PLUGIN_API getState(Steinberg::IBStream* stream) override;
  Steinberg::tresult PLUGIN_API setActive(Steinberg::TBool state) override;

  // Message thread: "TavrenaState", "TavrenaPlayback", "TavrenaPoll".
  Steinberg::tresult PLUGIN_API notify(Steinberg::Vst::IMessage* message) override;

  // Audio thread: no allocation, no lock, no system call.
  Steinberg::tresult PLUGIN_API process(Steinberg::Vst::ProcessData& data)
      TAVRENA_NONBLOCKING override;

 private:
  // Host and message threads, with `mutex` held.
  void rebuildPlayback_locked();
  void replaceState_locked(Json& incoming);

  // Message thread.
  Steinberg::tresult activate(Steinberg::TBool active);
  Steinberg::tresult receiveMessage(Steinberg::Vst::IMessage* message);
  Steinberg::tresult receiveState(Steinberg::Vst::IMessage* message);
  Steinberg::tresult receivePlayback(Steinberg::Vst::IMessage* message);
  Steinberg::tresult receivePoll();

  // Audio thread.
  struct HostBlock {
    bool playing = false;
    bool hasPpq = false;
    double ppq = 0.0;
    bool tempoValid = false;
    double tempo = 0.0;
  };
  bool adoptPlayback_rt() noexcept;
  HostBlock readHostContext_rt(const Steinberg::Vst::ProcessContext* context) noexcept;

  std::mutex mutex;  // host and message threads only
  Json state;
  PlaybackData buildData;  // written by the builder while dataPending is false
  PlaybackData liveData;   // audio thread only
  std::atomic<bool> dataPending{false};
  std::atomic<bool> previewRequested{false};
  std::atomic<bool> hostPlaying{false};
  std::atomic<bool> hostHasPpq{false};
  std::atomic<std::int32_t> restartCount{0};
  std::int32_t lastRestartCount = 0;  // audio thread
  // Transport as last seen by the audio thread, reported to the controller.
  std::atomic<double> hostPpq{0.0};
  std::atomic<double> hostBpm{120.0};
  std::atomic<double> beatsPerBar{4.0};
  std::atomic<double> playPosition{0.0};
  std::atomic<std::int32_t> hostNumerator{4};
  std::atomic<std::int32_t> hostDenominator{4};
  bool stateDirty = true;  // guarded by mutex

  // Audio thread (setActive(false) clears the voices while processing is stopped).
  PlayState play;
  double expectedHostPpq = 0.0;     // where the host should be at the next block
  bool dataChangeUnplayed = false;  // adopted in a block that stopped before playing
  PreviewTone tone;
  VoiceCommandBuffer voiceCommands;

  static_assert(std::atomic<double>::is_always_lock_free);
  static_assert(std::atomic<std::int32_t>::is_always_lock_free);
};

}  // namespace tavrena
