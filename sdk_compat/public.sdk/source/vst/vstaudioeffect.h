#pragma once
// Default implementation of a VST 3 audio effect component (IComponent, IAudioProcessor,
// IProcessContextRequirements), with the full SDK's interface for what Tavrena uses.
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "public.sdk/source/vst/utility/processcontextrequirements.h"
#include "public.sdk/source/vst/vstbus.h"
#include "public.sdk/source/vst/vstcomponent.h"

namespace Steinberg {
namespace Vst {

class AudioEffect : public Component, public IAudioProcessor, public IProcessContextRequirements {
 public:
  AudioEffect();

  // Creates an output bus and appends it to the component's bus list, which owns it.
  AudioBus* addAudioOutput(const TChar* name, SpeakerArrangement arr, BusType busType = kMain,
                           int32 flags = BusInfo::kDefaultActive);
  EventBus* addEventOutput(const TChar* name, int32 channels = 16, BusType busType = kMain,
                           int32 flags = BusInfo::kDefaultActive);

  // IAudioProcessor
  // Applies the arrangements to the existing audio buses in order; refuses more
  // arrangements than there are buses.
  tresult PLUGIN_API setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                        SpeakerArrangement* outputs, int32 numOuts) SMTG_OVERRIDE;
  tresult PLUGIN_API getBusArrangement(BusDirection dir, int32 index,
                                       SpeakerArrangement& arr) SMTG_OVERRIDE;
  // 32-bit only unless a derived class says otherwise.
  tresult PLUGIN_API canProcessSampleSize(int32 symbolicSampleSize) SMTG_OVERRIDE;
  uint32 PLUGIN_API getLatencySamples() SMTG_OVERRIDE { return 0; }
  // Keeps the setup in processSetup if its sample size can be processed.
  tresult PLUGIN_API setupProcessing(ProcessSetup& setup) SMTG_OVERRIDE;
  tresult PLUGIN_API setProcessing(TBool state) SMTG_OVERRIDE;
  tresult PLUGIN_API process(ProcessData& data) SMTG_OVERRIDE;
  uint32 PLUGIN_API getTailSamples() SMTG_OVERRIDE { return kNoTail; }

  // IProcessContextRequirements
  uint32 PLUGIN_API getProcessContextRequirements() SMTG_OVERRIDE {
    return processContextRequirements.flags;
  }

  OBJ_METHODS(AudioEffect, Component)
  DEFINE_INTERFACES
  DEF_INTERFACE(IAudioProcessor)
  DEF_INTERFACE(IProcessContextRequirements)
  END_DEFINE_INTERFACES(Component)
  REFCOUNT_METHODS(Component)

 protected:
  ProcessSetup processSetup;
  ProcessContextRequirements processContextRequirements;
};

}  // namespace Vst
}  // namespace Steinberg
