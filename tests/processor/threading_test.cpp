// The processor and the controller in one process, on the threads a host gives
// them: generation on the controller's worker, the user-interface thread driving
// the controller, a host message thread sending straight to the processor, and
// the audio thread processing blocks, all at once. Meant to run under
// ThreadSanitizer, which reports any data race between them.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "controller.h"
#include "host/host.h"
#include "processor.h"
#include "state/state.h"
#include "theory/config.h"

namespace tavrena {
namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

Json note(double start, double length, int pitch) {
  return {{"start", start}, {"length", length}, {"pitch", pitch}, {"velocity", 100}};
}

tresult sendTo(IConnectionPoint& point, const char* id,
               const std::function<void(IAttributeList&)>& fill) {
  IPtr<host::Message> m = owned(new host::Message());
  m->setMessageID(id);
  fill(m->attributes());
  return point.notify(m);
}

TEST(ProcessorThreading, GenerationMessagesAndAudioRunTogether) {
  host::HostApplication hostApp;
  IPtr<Processor> processor = owned(new Processor());
  IPtr<Controller> controller = owned(new Controller());
  ASSERT_EQ(processor->initialize(&hostApp), kResultOk);
  ASSERT_EQ(controller->initialize(&hostApp), kResultOk);
  ASSERT_EQ(processor->connect(controller), kResultOk);
  ASSERT_EQ(controller->connect(processor), kResultOk);
  ProcessSetup setup{kRealtime, kSample32, 512, 48000.0};
  ASSERT_EQ(processor->setupProcessing(setup), kResultOk);
  ASSERT_EQ(processor->setActive(true), kResultOk);
  processor->setProcessing(true);

  std::atomic<bool> stop{false};
  std::atomic<long> blocks{0};
  std::atomic<long> events{0};
  std::thread audio([&] {
    host::AudioBlock block(2, 512);
    double ppq = 0.0;
    for (long i = 0; !stop.load(); ++i) {
      ProcessContext context = host::makeContext(48000, i % 400 < 300, ppq, 100.0 + i % 50);
      ProcessData& data = block.prepare(i % 13 == 0 ? 0 : 512, i % 17 == 0 ? nullptr : &context);
      processor->process(data);
      events += block.events().getEventCount();
      ppq = i % 211 == 0 ? 3.0 * (i % 11) : ppq + 512 * context.tempo / 60.0 / 48000.0;
      ++blocks;
    }
  });

  Json synced = defaultState();
  synced["sync"] = true;
  synced["variants"][1] = Json::array({note(0, 1, 60), note(1, 2, 64), note(2.5, 1, 67)});
  synced["variation"] = 1;
  const std::string syncedText = serializeState(normalizeState(synced));
  std::thread messages([&] {
    for (int i = 0; !stop.load(); ++i) {
      sendTo(*processor, "TavrenaPlayback",
             [i](IAttributeList& a) { a.setInt("play", i % 3 != 0); });
      if (i % 5 == 0) {
        sendTo(*processor, "TavrenaState", [&](IAttributeList& a) {
          a.setBinary("json", syncedText.data(), static_cast<uint32>(syncedText.size()));
        });
      }
      if (i % 7 == 0) host::saveState(static_cast<IComponent*>(processor.get()));
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });

  // The user-interface thread: two generations, each collected as the page's
  // polls would, with transport reports and preview switches in between.
  int generated = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  for (int variation = 0; variation < 2 && std::chrono::steady_clock::now() < deadline;) {
    Json state = controller->currentState();
    state["variation"] = variation;
    ASSERT_TRUE(controller->applyState(state)) << controller->statusText();
    ASSERT_TRUE(controller->startGeneration());
    while (controller->hasJob() && std::chrono::steady_clock::now() < deadline) {
      controller->requestTransport();
      controller->sendPlayback(variation == 0);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      controller->collectGeneration();
    }
    if (controller->statusText() == "Соло сгенерировано") {
      ++generated;
      ++variation;
    }
  }
  // Keep all threads busy for a while longer: switches, reports and state edits.
  const auto busyUntil = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
  for (int i = 0; blocks.load() < 3000 || std::chrono::steady_clock::now() < busyUntil; ++i) {
    if (std::chrono::steady_clock::now() > deadline) break;
    Json state = controller->currentState();
    state["loop"] = i % 2 == 0;
    ASSERT_TRUE(controller->applyState(state));
    controller->requestTransport();
    controller->sendPlayback(i % 4 != 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  stop.store(true);
  messages.join();
  audio.join();

  EXPECT_EQ(generated, 2) << controller->statusText();
  EXPECT_FALSE(controller->currentState()["variants"][0].empty());
  EXPECT_FALSE(controller->currentState()["variants"][1].empty());
  EXPECT_GT(blocks.load(), 100);
  EXPECT_GT(events.load(), 0);
  // With the other threads gone, the controller's state reaches the processor again.
  ASSERT_TRUE(controller->applyState(controller->currentState()));
  EXPECT_EQ(host::saveState(static_cast<IComponent*>(processor.get())),
            serializeState(controller->currentState()));

  processor->setProcessing(false);
  processor->setActive(false);
  controller->disconnect(processor);
  processor->disconnect(controller);
  controller->terminate();
  processor->terminate();
}

}  // namespace
}  // namespace tavrena
