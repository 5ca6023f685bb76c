#include "host/plugin.h"

#include <algorithm>

#include "memory_stream.h"

namespace tavrena::host {

using namespace Steinberg;
using namespace Steinberg::Vst;

std::string saveState(IComponent* component, tresult* result) {
  testing::MemoryStream stream;
  const tresult r = component->getState(&stream);
  if (result) *result = r;
  return stream.data();
}

std::string saveState(IEditController* controller, tresult* result) {
  testing::MemoryStream stream;
  const tresult r = controller->getState(&stream);
  if (result) *result = r;
  return stream.data();
}

tresult loadState(IComponent* component, const std::string& bytes) {
  testing::MemoryStream stream(bytes);
  return component->setState(&stream);
}

tresult loadComponentState(IEditController* controller, const std::string& bytes) {
  testing::MemoryStream stream(bytes);
  return controller->setComponentState(&stream);
}

tresult loadState(IEditController* controller, const std::string& bytes) {
  testing::MemoryStream stream(bytes);
  return controller->setState(&stream);
}

std::unique_ptr<Plugin> Plugin::create(const Module& module, const FUID& processorId,
                                       HostApplication& host, ComponentHandler* handler,
                                       std::string* error) {
  auto fail = [error](const char* message) -> std::unique_ptr<Plugin> {
    if (error) *error = message;
    return nullptr;
  };
  std::unique_ptr<Plugin> plugin(new Plugin());
  plugin->host_ = &host;
  plugin->component_ = module.create<IComponent>(processorId);
  if (!plugin->component_) return fail("the factory did not create the processor");
  if (plugin->component_->initialize(&host) != kResultOk)
    return fail("the processor refused initialize");
  plugin->componentInitialized_ = true;
  plugin->processor_ = FUnknownPtr<IAudioProcessor>(plugin->component_);
  if (!plugin->processor_) return fail("the processor lacks IAudioProcessor");

  TUID controllerId{};
  if (plugin->component_->getControllerClassId(controllerId) != kResultOk)
    return fail("the processor names no controller class");
  plugin->controller_ = module.create<IEditController>(FUID::fromTUID(controllerId));
  if (!plugin->controller_) return fail("the factory did not create the controller");
  if (plugin->controller_->initialize(&host) != kResultOk)
    return fail("the controller refused initialize");
  plugin->controllerInitialized_ = true;

  plugin->componentPoint_ = FUnknownPtr<IConnectionPoint>(plugin->component_);
  plugin->controllerPoint_ = FUnknownPtr<IConnectionPoint>(plugin->controller_);
  if (!plugin->componentPoint_ || !plugin->controllerPoint_)
    return fail("a class lacks IConnectionPoint");
  plugin->toController_ = std::make_unique<ConnectionProxy>(plugin->controllerPoint_.get());
  plugin->toProcessor_ = std::make_unique<ConnectionProxy>(plugin->componentPoint_.get());
  if (plugin->componentPoint_->connect(plugin->toController_.get()) != kResultOk ||
      plugin->controllerPoint_->connect(plugin->toProcessor_.get()) != kResultOk)
    return fail("connecting the two classes failed");
  plugin->connected_ = true;

  if (handler) plugin->controller_->setComponentHandler(handler);
  tresult saved = kResultFalse;
  const std::string state = saveState(plugin->component_.get(), &saved);
  if (saved == kResultOk) loadComponentState(plugin->controller_.get(), state);
  return plugin;
}

Plugin::~Plugin() {
  if (active_) deactivate();
  if (connected_) {
    componentPoint_->disconnect(toController_.get());
    controllerPoint_->disconnect(toProcessor_.get());
    toController_->cut();
    toProcessor_->cut();
  }
  if (controller_) {
    controller_->setComponentHandler(nullptr);
    if (controllerInitialized_) controller_->terminate();
  }
  if (component_ && componentInitialized_) component_->terminate();
  // Release the controller first: hosts drop the editor side before the processor.
  controllerPoint_ = nullptr;
  controller_ = nullptr;
  componentPoint_ = nullptr;
  processor_ = nullptr;
  component_ = nullptr;
}

tresult Plugin::activate(double sampleRate, int32 maxSamplesPerBlock, int32 symbolicSampleSize) {
  ProcessSetup setup{kRealtime, symbolicSampleSize, maxSamplesPerBlock, sampleRate};
  tresult result = processor_->setupProcessing(setup);
  if (result != kResultOk) return result;
  result = component_->setActive(true);
  if (result != kResultOk) return result;
  active_ = true;
  result = processor_->setProcessing(true);
  if (result != kResultOk && result != kNotImplemented) return result;
  return kResultOk;
}

tresult Plugin::deactivate() {
  processor_->setProcessing(false);
  active_ = false;
  return component_->setActive(false);
}

tresult Plugin::sendToProcessor(const char* id, const std::function<void(IAttributeList&)>& fill) {
  IPtr<Message> message = owned(new Message());
  message->setMessageID(id);
  if (fill) fill(message->attributes());
  return toProcessor_->notify(message);
}

AudioBlock::AudioBlock(int32 channels, int32 maxSamples, int32 symbolicSampleSize,
                       std::size_t eventCapacity)
    : channels_(channels),
      maxSamples_(maxSamples),
      sampleSize_(symbolicSampleSize),
      events_(eventCapacity) {
  for (int32 c = 0; c < channels; ++c) {
    if (sampleSize_ == kSample64) {
      samples64_.emplace_back(static_cast<std::size_t>(maxSamples), 0.0);
      pointers64_.push_back(samples64_.back().data());
    } else {
      samples32_.emplace_back(static_cast<std::size_t>(maxSamples), 0.0f);
      pointers32_.push_back(samples32_.back().data());
    }
  }
  output_.numChannels = channels;
  output_.silenceFlags = 0;
  if (sampleSize_ == kSample64)
    output_.channelBuffers64 = pointers64_.data();
  else
    output_.channelBuffers32 = pointers32_.data();
}

ProcessData& AudioBlock::prepare(int32 numSamples, ProcessContext* context, double fill) {
  for (auto& channel : samples32_)
    std::fill(channel.begin(), channel.end(), static_cast<float>(fill));
  for (auto& channel : samples64_) std::fill(channel.begin(), channel.end(), fill);
  events_.clear();
  output_.silenceFlags = 0;
  data_ = ProcessData();
  data_.processMode = kRealtime;
  data_.symbolicSampleSize = sampleSize_;
  data_.numSamples = std::min(numSamples, maxSamples_);
  data_.numInputs = 0;
  data_.numOutputs = 1;
  data_.inputs = nullptr;
  data_.outputs = &output_;
  data_.outputEvents = &events_;
  data_.processContext = context;
  return data_;
}

double AudioBlock::sample(int32 channel, int32 index) const {
  const auto c = static_cast<std::size_t>(channel);
  const auto i = static_cast<std::size_t>(index);
  return sampleSize_ == kSample64 ? samples64_[c][i] : static_cast<double>(samples32_[c][i]);
}

ProcessContext makeContext(double sampleRate, bool playing, double ppq, double tempo,
                           int32 numerator, int32 denominator) {
  ProcessContext context{};
  context.state = ProcessContext::kProjectTimeMusicValid | ProcessContext::kTempoValid |
                  ProcessContext::kTimeSigValid;
  if (playing) context.state |= ProcessContext::kPlaying;
  context.sampleRate = sampleRate;
  context.projectTimeMusic = ppq;
  context.tempo = tempo;
  context.timeSigNumerator = numerator;
  context.timeSigDenominator = denominator;
  context.projectTimeSamples = static_cast<TSamples>(ppq * 60.0 / tempo * sampleRate);
  return context;
}

}  // namespace tavrena::host
