#pragma once
// A processor and its controller, created and wired as a DAW does, plus the audio
// plumbing to drive process().
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/host_objects.h"
#include "host/module.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivstmessage.h"
#include "pluginterfaces/vst/ivstprocesscontext.h"

namespace tavrena::host {

// Whole-stream state transfer through an in-memory IBStream.
// getState into a fresh stream; *result receives the call's result when given.
std::string saveState(Steinberg::Vst::IComponent* component, Steinberg::tresult* result = nullptr);
std::string saveState(Steinberg::Vst::IEditController* controller,
                      Steinberg::tresult* result = nullptr);
Steinberg::tresult loadState(Steinberg::Vst::IComponent* component, const std::string& bytes);
Steinberg::tresult loadComponentState(Steinberg::Vst::IEditController* controller,
                                      const std::string& bytes);
Steinberg::tresult loadState(Steinberg::Vst::IEditController* controller, const std::string& bytes);

class Plugin {
 public:
  // Creates the processor by its class identifier, asks it for its controller class,
  // creates that, initialises both with host, connects them through two connection
  // proxies, gives the controller handler (may be null) and hands the processor's
  // state to the controller (setComponentState), as hosts do when inserting a
  // plug-in. Null with *error set on failure.
  static std::unique_ptr<Plugin> create(const Module& module, const Steinberg::FUID& processorId,
                                        HostApplication& host, ComponentHandler* handler,
                                        std::string* error);
  // Stops processing, deactivates, disconnects and terminates both, in that order.
  ~Plugin();
  Plugin(const Plugin&) = delete;
  Plugin& operator=(const Plugin&) = delete;

  Steinberg::Vst::IComponent* component() const { return component_.get(); }
  Steinberg::Vst::IAudioProcessor* processor() const { return processor_.get(); }
  Steinberg::Vst::IEditController* controller() const { return controller_.get(); }
  // Messages from the processor to the controller, and the other way.
  ConnectionProxy& toController() { return *toController_; }
  ConnectionProxy& toProcessor() { return *toProcessor_; }

  // setupProcessing, then setActive(true) and setProcessing(true). Returns the first
  // result that is neither kResultOk nor (for setProcessing) kNotImplemented.
  Steinberg::tresult activate(double sampleRate, Steinberg::int32 maxSamplesPerBlock,
                              Steinberg::int32 symbolicSampleSize = Steinberg::Vst::kSample32);
  // setProcessing(false), setActive(false).
  Steinberg::tresult deactivate();
  bool active() const { return active_; }

  // Sends a message with this identifier to the processor as the controller would
  // (through the proxy), after fill(attributes) when given; returns notify's result.
  Steinberg::tresult sendToProcessor(
      const char* id, const std::function<void(Steinberg::Vst::IAttributeList&)>& fill = {});

 private:
  Plugin() = default;
  Steinberg::IPtr<Steinberg::Vst::IComponent> component_;
  Steinberg::IPtr<Steinberg::Vst::IAudioProcessor> processor_;
  Steinberg::IPtr<Steinberg::Vst::IEditController> controller_;
  Steinberg::IPtr<Steinberg::Vst::IConnectionPoint> componentPoint_;
  Steinberg::IPtr<Steinberg::Vst::IConnectionPoint> controllerPoint_;
  std::unique_ptr<ConnectionProxy> toController_;
  std::unique_ptr<ConnectionProxy> toProcessor_;
  HostApplication* host_ = nullptr;
  bool componentInitialized_ = false;
  bool controllerInitialized_ = false;
  bool connected_ = false;
  bool active_ = false;
};

// Output buffers, the output event list and ProcessData for process() calls. All storage
// is allocated in the constructor; prepare() and the accessors never allocate.
class AudioBlock {
 public:
  AudioBlock(Steinberg::int32 channels, Steinberg::int32 maxSamples,
             Steinberg::int32 symbolicSampleSize = Steinberg::Vst::kSample32,
             std::size_t eventCapacity = 4096);

  // Fills every output sample with fill, clears the event list and returns ProcessData
  // for numSamples samples (at most maxSamples) with the given context (may be null).
  Steinberg::Vst::ProcessData& prepare(Steinberg::int32 numSamples,
                                       Steinberg::Vst::ProcessContext* context, double fill = 0.0);

  double sample(Steinberg::int32 channel, Steinberg::int32 index) const;
  EventList& events() { return events_; }
  Steinberg::int32 channels() const { return channels_; }
  Steinberg::int32 maxSamples() const { return maxSamples_; }
  Steinberg::Vst::ProcessData& data() { return data_; }

 private:
  Steinberg::int32 channels_;
  Steinberg::int32 maxSamples_;
  Steinberg::int32 sampleSize_;
  std::vector<std::vector<float>> samples32_;
  std::vector<std::vector<double>> samples64_;
  std::vector<float*> pointers32_;
  std::vector<double*> pointers64_;
  Steinberg::Vst::AudioBusBuffers output_{};
  EventList events_;
  Steinberg::Vst::ProcessData data_{};
};

// A host transport for one block: playing or not, with musical position (quarter
// notes), tempo and time signature all marked valid.
Steinberg::Vst::ProcessContext makeContext(double sampleRate, bool playing, double ppq,
                                           double tempo, Steinberg::int32 numerator = 4,
                                           Steinberg::int32 denominator = 4);

}  // namespace tavrena::host
