#include "public.sdk/source/vst/vstaudioeffect.h"

namespace Steinberg {
namespace Vst {

AudioEffect::AudioEffect() {
  processSetup.maxSamplesPerBlock = 1024;
  processSetup.processMode = kRealtime;
  processSetup.sampleRate = 44100.0;
  processSetup.symbolicSampleSize = kSample32;
}

AudioBus* AudioEffect::addAudioOutput(const TChar* name, SpeakerArrangement arr, BusType busType,
                                      int32 flags) {
  auto* bus = new AudioBus(name, busType, flags, arr);
  audioOutputs.push_back(IPtr<Bus>(bus, false));
  return bus;
}

EventBus* AudioEffect::addEventOutput(const TChar* name, int32 channels, BusType busType,
                                      int32 flags) {
  auto* bus = new EventBus(name, busType, flags, channels);
  eventOutputs.push_back(IPtr<Bus>(bus, false));
  return bus;
}

tresult PLUGIN_API AudioEffect::setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                                   SpeakerArrangement* outputs, int32 numOuts) {
  if (numIns < 0 || numOuts < 0) return kInvalidArgument;
  if ((numIns > 0 && !inputs) || (numOuts > 0 && !outputs)) return kInvalidArgument;
  if (numIns > static_cast<int32>(audioInputs.size()) ||
      numOuts > static_cast<int32>(audioOutputs.size()))
    return kResultFalse;

  for (int32 index = 0; index < numIns; ++index) {
    if (auto* bus = FCast<AudioBus>(audioInputs[static_cast<size_t>(index)].get()))
      bus->setArrangement(inputs[index]);
  }
  for (int32 index = 0; index < numOuts; ++index) {
    if (auto* bus = FCast<AudioBus>(audioOutputs[static_cast<size_t>(index)].get()))
      bus->setArrangement(outputs[index]);
  }
  return kResultTrue;
}

tresult PLUGIN_API AudioEffect::getBusArrangement(BusDirection dir, int32 index,
                                                  SpeakerArrangement& arr) {
  BusList* buses = getBusList(kAudio, dir);
  if (!buses || index < 0 || static_cast<size_t>(index) >= buses->size()) return kInvalidArgument;
  if (auto* bus = FCast<AudioBus>(buses->at(static_cast<size_t>(index)).get())) {
    arr = bus->getArrangement();
    return kResultTrue;
  }
  return kResultFalse;
}

tresult PLUGIN_API AudioEffect::canProcessSampleSize(int32 symbolicSampleSize) {
  return symbolicSampleSize == kSample32 ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API AudioEffect::setupProcessing(ProcessSetup& setup) {
  if (canProcessSampleSize(setup.symbolicSampleSize) != kResultTrue) return kResultFalse;
  processSetup = setup;
  return kResultOk;
}

tresult PLUGIN_API AudioEffect::setProcessing(TBool /*state*/) {
  return kNotImplemented;
}

tresult PLUGIN_API AudioEffect::process(ProcessData& /*data*/) {
  return kNotImplemented;
}

}  // namespace Vst
}  // namespace Steinberg
