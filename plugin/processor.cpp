#include "processor.h"

#include <cstring>
#include <exception>
#include <string_view>
#include <utility>

#include "host_call.h"
#include "ids.h"
#include "playback/build.h"
#include "pluginterfaces/base/ustring.h"
#include "pluginterfaces/vst/ivstmessage.h"
#include "pluginterfaces/vst/vstspeaker.h"
#include "state/state_stream.h"
#include "theory/json_parse.h"

using namespace Steinberg;

namespace tavrena {

Processor::Processor() : state(defaultState()) {
  setControllerClass(kControllerUID);
  processContextRequirements.needProjectTimeMusic().needTempo().needTimeSignature();
}

tresult PLUGIN_API Processor::initialize(FUnknown* context) {
  return hostCall([&]() -> tresult {
    const tresult result = AudioEffect::initialize(context);
    if (result != kResultOk) return result;
    addAudioOutput(STR16("Preview"), Vst::SpeakerArr::kStereo, Vst::kMain,
                   Vst::BusInfo::kDefaultActive);
    addEventOutput(STR16("Solo MIDI"), 1, Vst::kMain, Vst::BusInfo::kDefaultActive);
    return kResultOk;
  });
}

tresult PLUGIN_API Processor::setBusArrangements(Vst::SpeakerArrangement* inputs, int32 numIns,
                                                 Vst::SpeakerArrangement* outputs, int32 numOuts) {
  if (numIns != 0 || numOuts != 1 || outputs == nullptr) return kResultFalse;
  if (outputs[0] != Vst::SpeakerArr::kMono && outputs[0] != Vst::SpeakerArr::kStereo) {
    return kResultFalse;
  }
  return hostCall([&]() -> tresult {
    return AudioEffect::setBusArrangements(inputs, numIns, outputs, numOuts);
  });
}

tresult PLUGIN_API Processor::canProcessSampleSize(int32 symbolicSampleSize) {
  return symbolicSampleSize == Vst::kSample32 || symbolicSampleSize == Vst::kSample64
             ? kResultTrue
             : kResultFalse;
}

void Processor::rebuildPlayback_locked() {
  // While the audio thread has not adopted the previous build, buildData is still
  // promised to it; the state stays dirty and a later request builds it.
  if (!stateDirty || dataPending.load(std::memory_order_acquire)) return;
  try {
    buildPlaybackData(state, buildData);
  } catch (const std::exception&) {
    // The state passed normalisation, so only memory can run out here: keep the
    // state dirty so that the next request tries again.
    buildData.reset();
    return;
  }
  stateDirty = false;
  dataPending.store(true, std::memory_order_release);
}

void Processor::replaceState_locked(Json& incoming) {
  state.swap(incoming);
  stateDirty = true;
  rebuildPlayback_locked();
}

tresult PLUGIN_API Processor::setState(IBStream* stream) {
  return hostCall([&]() -> tresult {
    Json incoming;
    if (!readStateStream(stream, incoming)) return kResultFalse;
    std::lock_guard lock(mutex);
    replaceState_locked(incoming);
    return kResultOk;
  });
}

tresult PLUGIN_API Processor::getState(IBStream* stream) {
  return hostCall([&]() -> tresult {
    std::lock_guard lock(mutex);
    return writeStateStream(stream, state);
  });
}

tresult PLUGIN_API Processor::setActive(TBool active) {
  return hostCall([&]() -> tresult { return activate(active); });
}

tresult Processor::activate(TBool active) {
  if (active) {
    std::lock_guard lock(mutex);
    stateDirty = true;
    rebuildPlayback_locked();
  } else {
    previewRequested.store(false);
    hostPlaying.store(false);
    hostHasPpq.store(false);
    tone.clearVoices();
  }
  return AudioEffect::setActive(active);
}

tresult PLUGIN_API Processor::notify(Vst::IMessage* message) {
  return hostCall([&]() -> tresult { return receiveMessage(message); });
}

tresult Processor::receiveMessage(Vst::IMessage* message) {
  if (message == nullptr) return kInvalidArgument;
  const FIDString id = message->getMessageID();
  if (id == nullptr) return kInvalidArgument;
  if (std::strcmp(id, kMsgState) == 0) return receiveState(message);
  if (std::strcmp(id, kMsgPlayback) == 0) return receivePlayback(message);
  if (std::strcmp(id, kMsgPoll) == 0) return receivePoll();
  return AudioEffect::notify(message);
}

tresult Processor::receiveState(Vst::IMessage* message) {
  Vst::IAttributeList* attributes = message->getAttributes();
  if (attributes == nullptr) return kResultFalse;
  const void* bytes = nullptr;
  uint32 size = 0;
  if (attributes->getBinary(kAttrJson, bytes, size) != kResultOk || bytes == nullptr ||
      size > kMaxStateBytes) {
    return kResultFalse;
  }
  Json incoming;
  try {
    const char* text = static_cast<const char*>(bytes);
    incoming = normalizeState(parseJsonText(std::string_view(text, size)));
  } catch (...) {
    return kResultFalse;  // a refused state leaves the current one in place
  }
  std::lock_guard lock(mutex);
  replaceState_locked(incoming);
  return kResultOk;
}

tresult Processor::receivePlayback(Vst::IMessage* message) {
  int64 play = 0;
  Vst::IAttributeList* attributes = message->getAttributes();
  if (attributes == nullptr || attributes->getInt(kAttrPlay, play) != kResultOk) play = 0;
  previewRequested.store(play != 0);
  // A start plays from the beginning: the next block sees a new restart count.
  if (play != 0) restartCount.fetch_add(1);
  return kResultOk;
}

tresult Processor::receivePoll() {
  {
    // A rebuild postponed while the audio thread had not adopted the last one.
    std::lock_guard lock(mutex);
    rebuildPlayback_locked();
  }
  IPtr<Vst::IMessage> report = owned(allocateMessage());
  if (!report) return kResultFalse;
  report->setMessageID(kMsgTransport);
  Vst::IAttributeList* attributes = report->getAttributes();
  if (attributes == nullptr) return kResultFalse;
  attributes->setFloat(kAttrPpq, hostPpq.load());
  attributes->setFloat(kAttrPosition, playPosition.load());
  attributes->setFloat(kAttrBpm, hostBpm.load());
  attributes->setFloat(kAttrBeatsPerBar, beatsPerBar.load());
  attributes->setInt(kAttrNumerator, hostNumerator.load());
  attributes->setInt(kAttrDenominator, hostDenominator.load());
  attributes->setInt(kAttrPlaying, hostPlaying.load() ? 1 : 0);
  attributes->setInt(kAttrHasPpq, hostHasPpq.load() ? 1 : 0);
  return sendMessage(report);
}

}  // namespace tavrena
