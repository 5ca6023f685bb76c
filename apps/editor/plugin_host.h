#pragma once
// The plug-in's processor and controller in this process, created, connected,
// restored and activated the way a DAW does it, with process() called on an audio
// thread of its own in real time (a block every 512 samples at 48 kHz) and no sound
// device: the preview runs exactly as in a host, its output goes nowhere.
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "controller.h"
#include "pluginterfaces/base/smartpointer.h"
#include "processor.h"
#include "public.sdk/source/vst/hosting/hostclasses.h"

namespace tavrena::editor {

class PluginHost {
 public:
  PluginHost();
  // Stops the audio thread, deactivates, disconnects and terminates both classes.
  ~PluginHost();
  PluginHost(const PluginHost&) = delete;
  PluginHost& operator=(const PluginHost&) = delete;

  // Initialises and connects both classes and gives the controller the processor's
  // state. False with *error set when a step is refused.
  bool initialize(std::string* error);
  // Hands a saved state to the processor and then to the controller, as a host
  // restoring a project does. False when either refuses it.
  bool restore(const std::string& bytes);
  // setupProcessing, setActive, setProcessing, then the audio thread.
  bool activate(std::string* error);

  // The controller's state stream (what a host saves in its project).
  std::string save();

  Controller& controller() { return *controller_; }

 private:
  void audioThread();

  // The SDK's HostApplication is not reference counted (addRef and release return 1),
  // so it lives here by value, declared first to outlive the two classes.
  Steinberg::Vst::HostApplication host_;
  Steinberg::IPtr<Processor> processor_;
  Steinberg::IPtr<Controller> controller_;
  bool initialized_ = false;
  bool connected_ = false;
  bool active_ = false;
  std::atomic<bool> running_{false};
  std::thread audio_;
};

}  // namespace tavrena::editor
