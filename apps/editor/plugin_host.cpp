#include "plugin_host.h"

#include <chrono>
#include <vector>

#include "pluginterfaces/vst/ivstevents.h"
#include "pluginterfaces/vst/ivstprocesscontext.h"
#include "public.sdk/source/common/memorystream.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace tavrena::editor {
namespace {

constexpr double kSampleRate = 48000.0;
constexpr int32 kBlockSamples = 512;
constexpr int32 kChannels = 2;

// Output events of one block, in storage reserved up front.
class BlockEvents : public IEventList {
 public:
  BlockEvents() { events_.reserve(4096); }
  int32 PLUGIN_API getEventCount() override { return static_cast<int32>(events_.size()); }
  tresult PLUGIN_API getEvent(int32 index, Event& e) override {
    if (index < 0 || index >= getEventCount()) return kInvalidArgument;
    e = events_[static_cast<std::size_t>(index)];
    return kResultOk;
  }
  tresult PLUGIN_API addEvent(Event& e) override {
    if (events_.size() == events_.capacity()) return kResultFalse;
    events_.push_back(e);
    return kResultOk;
  }
  tresult PLUGIN_API queryInterface(const TUID, void** obj) override {
    *obj = nullptr;
    return kNoInterface;
  }
  uint32 PLUGIN_API addRef() override { return 1; }
  uint32 PLUGIN_API release() override { return 1; }
  void clear() { events_.clear(); }

 private:
  std::vector<Event> events_;
};

}  // namespace

PluginHost::PluginHost()
    : processor_(owned(new Processor())), controller_(owned(new Controller())) {}

PluginHost::~PluginHost() {
  if (active_) {
    running_ = false;
    if (audio_.joinable()) audio_.join();
    processor_->setProcessing(false);
    processor_->setActive(false);
  }
  if (connected_) {
    processor_->disconnect(controller_);
    controller_->disconnect(processor_);
  }
  if (initialized_) {
    controller_->terminate();
    processor_->terminate();
  }
}

bool PluginHost::initialize(std::string* error) {
  const auto fail = [error](const char* message) {
    if (error) *error = message;
    return false;
  };
  if (processor_->initialize(&host_) != kResultOk)
    return fail("the processor refused to initialise");
  if (controller_->initialize(&host_) != kResultOk) {
    processor_->terminate();
    return fail("the controller refused to initialise");
  }
  initialized_ = true;
  // Connected directly: messages arrive within the sender's call, on its thread.
  if (processor_->connect(controller_) != kResultOk ||
      controller_->connect(processor_) != kResultOk)
    return fail("the processor and the controller could not be connected");
  connected_ = true;

  MemoryStream stream;
  if (processor_->getState(&stream) == kResultOk) {
    stream.seek(0, IBStream::kIBSeekSet, nullptr);
    controller_->setComponentState(&stream);
  }
  return true;
}

bool PluginHost::restore(const std::string& bytes) {
  MemoryStream forProcessor(const_cast<char*>(bytes.data()), static_cast<TSize>(bytes.size()));
  if (processor_->setState(&forProcessor) != kResultOk) return false;
  MemoryStream forController(const_cast<char*>(bytes.data()), static_cast<TSize>(bytes.size()));
  return controller_->setComponentState(&forController) == kResultOk;
}

bool PluginHost::activate(std::string* error) {
  ProcessSetup setup{kRealtime, kSample32, kBlockSamples, kSampleRate};
  if (processor_->setupProcessing(setup) != kResultOk || processor_->setActive(true) != kResultOk) {
    if (error) *error = "the processor refused to start processing";
    return false;
  }
  active_ = true;
  processor_->setProcessing(true);
  running_ = true;
  audio_ = std::thread([this] { audioThread(); });
  return true;
}

std::string PluginHost::save() {
  MemoryStream stream;
  if (controller_->getState(&stream) != kResultOk) return {};
  return std::string(stream.getData(), static_cast<std::size_t>(stream.getSize()));
}

void PluginHost::audioThread() {
  std::vector<std::vector<float>> samples(kChannels, std::vector<float>(kBlockSamples));
  std::vector<float*> channels;
  for (auto& channel : samples) channels.push_back(channel.data());
  AudioBusBuffers output{};
  output.numChannels = kChannels;
  output.channelBuffers32 = channels.data();
  BlockEvents events;
  // No host transport: the plug-in's own preview is the only thing that plays.
  ProcessContext context{};
  context.sampleRate = kSampleRate;

  using Clock = std::chrono::steady_clock;
  const auto blockTime = std::chrono::duration_cast<Clock::duration>(
      std::chrono::duration<double>(kBlockSamples / kSampleRate));
  auto next = Clock::now();
  while (running_) {
    events.clear();
    ProcessData data;
    data.processMode = kRealtime;
    data.symbolicSampleSize = kSample32;
    data.numSamples = kBlockSamples;
    data.numOutputs = 1;
    data.outputs = &output;
    data.outputEvents = &events;
    data.processContext = &context;
    processor_->process(data);
    context.continousTimeSamples += kBlockSamples;

    next += blockTime;
    const auto now = Clock::now();
    if (next < now - 10 * blockTime) next = now;  // after a stall, do not race to catch up
    std::this_thread::sleep_until(next);
  }
}

}  // namespace tavrena::editor
