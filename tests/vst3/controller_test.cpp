// The edit controller in process, against a fake processor peer and a gated generator:
// state adoption, the generation job's life, messages and the state streams.
#include <gtest/gtest.h>

#include "controller.h"
#include "fake_processor.h"
#include "generation_gate.h"
#include "host/host.h"
#include "memory_stream.h"
#include "state/state.h"
#include "throwing_host_objects.h"

namespace tavrena {
namespace {

using Steinberg::IPtr;
using Steinberg::kResultFalse;
using Steinberg::kResultOk;
using testing::FakeProcessor;
using testing::GenerationGate;

Json note(double start, double length, int pitch, int velocity = 90) {
  return {{"start", start}, {"length", length}, {"pitch", pitch}, {"velocity", velocity}};
}

class ControllerTest : public ::testing::Test {
 protected:
  void SetUp() override { create(gate.function()); }

  void TearDown() override {
    gate.open();
    destroy();
    EXPECT_EQ(host::Message::liveCount(), 0) << "a message was never released";
  }

  void create(GenerateFunction generate) {
    controller = Steinberg::owned(new Controller(std::move(generate)));
    ASSERT_EQ(controller->initialize(&hostApp), kResultOk);
    ASSERT_EQ(controller->connect(&processor), kResultOk);
    processor.connect(controller);
    controller->setComponentHandler(&handler);
  }

  void destroy() {
    if (!controller) return;
    controller->setComponentHandler(nullptr);
    controller->terminate();
    controller = nullptr;
  }

  // A state the page might write: the default with its variant slots filled.
  Json stateWithNotes() const {
    Json state = defaultState();
    state["variants"] = {Json::array({note(0.0, 1.0, 60)}), Json::array({note(1.0, 0.5, 62)}),
                         Json::array({note(2.0, 2.0, 64)})};
    return normalizeState(state);
  }

  host::HostApplication hostApp;
  host::ComponentHandler handler;
  FakeProcessor processor;
  GenerationGate gate;
  IPtr<Controller> controller;
};

TEST_F(ControllerTest, StartsFromTheDefaultStateWithNothingReported) {
  EXPECT_EQ(controller->currentState(), defaultState());
  EXPECT_EQ(controller->statusText(), "Готово");
  EXPECT_EQ(controller->currentRevision(), 0u);
  EXPECT_EQ(controller->transportReport().dump(), R"({"hasPpq":0,"playing":0,"position":0})");
  EXPECT_FALSE(controller->hasJob());
}

TEST_F(ControllerTest, AcceptedStateBecomesCurrentAfterTheProcessorHasIt) {
  Json candidate = defaultState();
  candidate["loop"] = false;
  candidate["variation"] = 1;
  candidate["extra"] = "dropped by normalisation";

  ASSERT_TRUE(controller->applyState(candidate));

  const Json expected = normalizeState(candidate);
  EXPECT_EQ(processor.received, std::vector<std::string>{"TavrenaState"});
  EXPECT_EQ(processor.lastStateText, serializeState(expected));
  EXPECT_EQ(controller->currentState(), expected);
  EXPECT_EQ(controller->currentRevision(), 1u);
  EXPECT_EQ(handler.dirtyCalls, 1);
  EXPECT_TRUE(handler.lastDirty);
  EXPECT_EQ(controller->statusText(), "Готово");
  // The message went back to the host once sent, not only on failure.
  EXPECT_EQ(host::Message::liveCount(), 0);
}

TEST_F(ControllerTest, StateRefusedByTheProcessorChangesNothing) {
  processor.acceptStates = false;
  Json candidate = defaultState();
  candidate["sync"] = true;

  EXPECT_FALSE(controller->applyState(candidate));
  EXPECT_EQ(processor.received.size(), 1u);
  EXPECT_EQ(controller->currentState(), defaultState());
  EXPECT_EQ(controller->currentRevision(), 0u);
  EXPECT_EQ(handler.dirtyCalls, 0);
  EXPECT_EQ(controller->statusText(), "Готово");
  EXPECT_EQ(host::Message::liveCount(), 0);
}

TEST_F(ControllerTest, InvalidStateShowsItsMessageAndIsNeverSent) {
  struct Case {
    Json candidate;
    const char* status;
  };
  Json badVariation = defaultState();
  badVariation["variation"] = 3;
  Json badVariants = defaultState();
  badVariants["variants"] = Json::array({Json::array(), Json::array()});
  const Case cases[] = {
      {Json::array({1, 2}), "State must be an object"},
      {badVariation, "variation"},
      {badVariants, "variants"},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(controller->applyState(c.candidate));
    EXPECT_EQ(controller->statusText(), c.status);
  }
  EXPECT_TRUE(processor.received.empty());
  EXPECT_EQ(controller->currentState(), defaultState());
  EXPECT_EQ(controller->currentRevision(), 0u);
}

TEST_F(ControllerTest, WithoutProcessorOrMessagesTheStateStays) {
  Json candidate = defaultState();
  candidate["loop"] = false;

  hostApp.setMessageAllocation(false);
  EXPECT_FALSE(controller->applyState(candidate));
  EXPECT_FALSE(controller->sendPlayback(true));
  hostApp.setMessageAllocation(true);

  controller->disconnect(&processor);
  EXPECT_FALSE(controller->applyState(candidate));
  EXPECT_FALSE(controller->sendPlayback(true));

  EXPECT_TRUE(processor.received.empty());
  EXPECT_EQ(controller->currentState(), defaultState());
  EXPECT_EQ(controller->currentRevision(), 0u);
  EXPECT_EQ(controller->statusText(), "Готово");  // no message for a missing processor
}

TEST_F(ControllerTest, GenerationFillsTheSelectedSlotFromItsOwnSeed) {
  Json start = stateWithNotes();
  start["variation"] = 2;  // configured seed 42: this slot generates from 44
  ASSERT_TRUE(controller->applyState(start));

  ASSERT_TRUE(controller->startGeneration());
  EXPECT_EQ(controller->statusText(), "Генерация…");
  EXPECT_TRUE(controller->hasJob());
  ASSERT_TRUE(gate.waitForJobs(1));
  gate.open();
  ASSERT_TRUE(testing::collectWhenDone(*controller));

  const Json configuration = gate.configurations().at(0);
  EXPECT_EQ(configuration.at("seed"), 44);
  EXPECT_TRUE(configuration.at("seed").is_number_integer());
  Json expectedConfig = start.at("config");
  expectedConfig["seed"] = 44;
  EXPECT_EQ(configuration, expectedConfig);  // nothing else of the configuration changes

  const Json& state = controller->currentState();
  EXPECT_EQ(controller->statusText(), "Соло сгенерировано");
  EXPECT_EQ(state.at("variants").at(2), gate.notes);
  EXPECT_EQ(state.at("variants").at(0), start.at("variants").at(0));
  EXPECT_EQ(state.at("variants").at(1), start.at("variants").at(1));
  EXPECT_EQ(state.at("config").at("seed"), 42);  // the stored configuration keeps its seed
  EXPECT_EQ(controller->currentRevision(), 2u);
  EXPECT_EQ(processor.lastStateText, serializeState(state));
}

TEST_F(ControllerTest, SeedsWrapWithinExactIntegersAndNullCountsAsZero) {
  struct Case {
    Json seed;
    int variation;
    Json expected;
  };
  const Case cases[] = {
      {nullptr, 1, 1},
      {9007199254740991LL, 2, 1},  // 2^53 - 1 + 2 wraps past 2^53
      {7.0, 0, 7},
      {100, 1, 101},
  };
  std::size_t jobs = 0;
  gate.open();
  for (const Case& c : cases) {
    Json state = defaultState();
    state["config"]["seed"] = c.seed;
    state["variation"] = c.variation;
    ASSERT_TRUE(controller->applyState(state)) << controller->statusText();
    ASSERT_TRUE(controller->startGeneration());
    ASSERT_TRUE(gate.waitForJobs(++jobs));
    ASSERT_TRUE(testing::collectWhenDone(*controller));
    const Json used = gate.configurations().back().at("seed");
    EXPECT_EQ(used, c.expected) << "configured seed " << c.seed.dump();
    EXPECT_TRUE(used.is_number_integer());
  }
}

TEST_F(ControllerTest, OneJobAtATimeUntilItIsCollected) {
  ASSERT_TRUE(controller->startGeneration());
  EXPECT_FALSE(controller->startGeneration());
  EXPECT_EQ(controller->statusText(), "Генерация…");

  gate.open();
  // Finished but not collected: still held, a new start is refused.
  ASSERT_TRUE(gate.waitForFinished(1));
  EXPECT_TRUE(controller->hasJob());
  EXPECT_FALSE(controller->startGeneration());

  ASSERT_TRUE(testing::collectWhenDone(*controller));
  EXPECT_EQ(controller->statusText(), "Соло сгенерировано");
  EXPECT_TRUE(controller->startGeneration());
  ASSERT_TRUE(testing::collectWhenDone(*controller));
  EXPECT_EQ(gate.configurations().size(), 2u);
}

TEST_F(ControllerTest, CollectingWhileTheJobRunsChangesNothing) {
  ASSERT_TRUE(controller->startGeneration());
  ASSERT_TRUE(gate.waitForJobs(1));
  controller->collectGeneration();
  EXPECT_TRUE(controller->hasJob());
  EXPECT_EQ(controller->statusText(), "Генерация…");
  EXPECT_EQ(controller->currentRevision(), 0u);
}

TEST_F(ControllerTest, AnyStateChangeDuringTheJobMakesItsResultStale) {
  const Json start = stateWithNotes();
  ASSERT_TRUE(controller->applyState(start));

  // A write from the page, even one that only switches playback.
  ASSERT_TRUE(controller->startGeneration());
  ASSERT_TRUE(gate.waitForJobs(1));
  Json edited = start;
  edited["loop"] = false;
  ASSERT_TRUE(controller->applyState(edited));
  gate.open();
  ASSERT_TRUE(testing::collectWhenDone(*controller));
  EXPECT_EQ(controller->statusText(), "Проект изменён — повторите генерацию");
  EXPECT_EQ(controller->currentState(), normalizeState(edited));

  // The host restoring a state does the same.
  ASSERT_TRUE(controller->startGeneration());
  ASSERT_TRUE(gate.waitForJobs(2));
  ::tavrena::testing::MemoryStream stream(serializeState(start));
  ASSERT_EQ(controller->setState(&stream), kResultOk);
  ASSERT_TRUE(testing::collectWhenDone(*controller));
  EXPECT_EQ(controller->statusText(), "Проект изменён — повторите генерацию");
  EXPECT_EQ(controller->currentState(), start);
}

TEST_F(ControllerTest, CancelledJobReportsTheGeneratorsMessageAndKeepsTheState) {
  const Json start = stateWithNotes();
  ASSERT_TRUE(controller->applyState(start));
  ASSERT_TRUE(controller->startGeneration());
  ASSERT_TRUE(gate.waitForJobs(1));

  controller->requestCancel();
  ASSERT_TRUE(testing::collectWhenDone(*controller));
  EXPECT_TRUE(gate.sawCancel());
  EXPECT_EQ(controller->statusText(), "Генерация отменена");
  EXPECT_EQ(controller->currentState(), start);
  EXPECT_EQ(controller->currentRevision(), 1u);

  // The next start clears the flag: its job is not cancelled.
  gate.open();
  ASSERT_TRUE(controller->startGeneration());
  ASSERT_TRUE(testing::collectWhenDone(*controller));
  EXPECT_EQ(controller->statusText(), "Соло сгенерировано");
}

TEST_F(ControllerTest, CancelWithoutAJobOnlySetsTheFlag) {
  controller->requestCancel();
  EXPECT_EQ(controller->statusText(), "Готово");
  EXPECT_FALSE(controller->hasJob());
  gate.open();
  ASSERT_TRUE(controller->startGeneration());
  ASSERT_TRUE(testing::collectWhenDone(*controller));
  EXPECT_FALSE(gate.sawCancel());
  EXPECT_EQ(controller->statusText(), "Соло сгенерировано");
}

TEST_F(ControllerTest, FailedJobShowsItsMessage) {
  gate.failure = "bpm: out of range";
  gate.open();
  ASSERT_TRUE(controller->startGeneration());
  ASSERT_TRUE(testing::collectWhenDone(*controller));
  EXPECT_EQ(controller->statusText(), "bpm: out of range");
  EXPECT_EQ(controller->currentState(), defaultState());
  EXPECT_EQ(controller->currentRevision(), 0u);
}

TEST_F(ControllerTest, ResultRefusedByTheProcessorIsNotAdopted) {
  gate.open();
  ASSERT_TRUE(controller->startGeneration());
  ASSERT_TRUE(gate.waitForJobs(1));
  processor.acceptStates = false;
  ASSERT_TRUE(testing::collectWhenDone(*controller));
  EXPECT_EQ(controller->statusText(), "Генерация…");  // applyState failed without a message
  EXPECT_EQ(controller->currentState(), defaultState());
}

TEST_F(ControllerTest, DestructionCancelsAndWaitsForTheRunningJob) {
  ASSERT_TRUE(controller->startGeneration());
  ASSERT_TRUE(gate.waitForJobs(1));
  destroy();  // returns only after the worker has seen the flag and ended
  EXPECT_TRUE(gate.sawCancel());
}

TEST_F(ControllerTest, TransportReportIsStoredWithItsTypes) {
  controller->requestTransport();
  EXPECT_EQ(processor.received, std::vector<std::string>{"TavrenaPoll"});
  EXPECT_EQ(controller->transportReport().dump(),
            R"({"beatsPerBar":3.0,"bpm":98.0,"denominator":8,"hasPpq":1,"numerator":6,)"
            R"("playing":1,"position":3.25,"ppq":12.5})");

  // Missing or mistyped attributes read as 0 of the expected type.
  IPtr<host::Message> partial = Steinberg::owned(new host::Message());
  partial->setMessageID("TavrenaTransport");
  partial->attributes().setFloat("ppq", 1.5);
  partial->attributes().setFloat("playing", 1.0);  // an integer attribute sent as a float
  EXPECT_EQ(controller->notify(partial), kResultOk);
  EXPECT_EQ(controller->transportReport().dump(),
            R"({"beatsPerBar":0.0,"bpm":0.0,"denominator":0,"hasPpq":0,"numerator":0,)"
            R"("playing":0,"position":0.0,"ppq":1.5})");
}

TEST_F(ControllerTest, OtherMessagesGoToTheSdk) {
  IPtr<host::Message> other = Steinberg::owned(new host::Message());
  other->setMessageID("SomethingElse");
  EXPECT_EQ(controller->notify(other), kResultFalse);
  EXPECT_EQ(controller->notify(nullptr), Steinberg::kInvalidArgument);
  IPtr<host::Message> anonymous = Steinberg::owned(new host::Message());
  EXPECT_EQ(controller->notify(anonymous), kResultFalse);
  EXPECT_EQ(controller->transportReport().dump(), R"({"hasPpq":0,"playing":0,"position":0})");
}

TEST_F(ControllerTest, PlaybackRequestsCarryTheFlagAndTheAnswer) {
  EXPECT_TRUE(controller->sendPlayback(true));
  EXPECT_EQ(processor.lastPlay, 1);
  EXPECT_TRUE(controller->sendPlayback(false));
  EXPECT_EQ(processor.lastPlay, 0);
  processor.playbackResult = kResultFalse;
  EXPECT_FALSE(controller->sendPlayback(true));
  EXPECT_EQ(processor.received,
            (std::vector<std::string>{"TavrenaPlayback", "TavrenaPlayback", "TavrenaPlayback"}));
}

TEST_F(ControllerTest, StateStreamsReplaceTheStateOnlyWhenValid) {
  const Json saved = stateWithNotes();
  {
    ::tavrena::testing::MemoryStream stream(serializeState(saved));
    EXPECT_EQ(controller->setComponentState(&stream), kResultOk);
  }
  EXPECT_EQ(controller->currentState(), saved);
  EXPECT_EQ(controller->currentRevision(), 1u);
  {
    ::tavrena::testing::MemoryStream stream(R"({"version":2,"variation":5})");
    EXPECT_EQ(controller->setState(&stream), kResultFalse);
    ::tavrena::testing::MemoryStream broken("{\"config\":");
    EXPECT_EQ(controller->setComponentState(&broken), kResultFalse);
    EXPECT_EQ(controller->setState(nullptr), kResultFalse);
  }
  EXPECT_EQ(controller->currentState(), saved);
  EXPECT_EQ(controller->currentRevision(), 1u);
  EXPECT_TRUE(processor.received.empty());  // the host restores the processor itself

  ::tavrena::testing::MemoryStream out;
  EXPECT_EQ(controller->getState(&out), kResultOk);
  EXPECT_EQ(out.data(), serializeState(saved));
  EXPECT_EQ(controller->getState(nullptr), Steinberg::kInvalidArgument);
}

TEST_F(ControllerTest, HostObjectsThatThrowGetAResultCodeAndChangeNothing) {
  controller->requestTransport();
  const Json report = controller->transportReport();
  ::tavrena::testing::ThrowingMessage transport("TavrenaTransport");
  EXPECT_EQ(controller->notify(&transport), kResultFalse);
  EXPECT_EQ(controller->transportReport(), report);

  ::tavrena::testing::ThrowingStream stream;
  EXPECT_EQ(controller->setState(&stream), kResultFalse);
  EXPECT_EQ(controller->setComponentState(&stream), kResultFalse);
  EXPECT_EQ(controller->getState(&stream), kResultFalse);
  EXPECT_EQ(controller->currentState(), defaultState());
  EXPECT_EQ(controller->currentRevision(), 0u);
}

}  // namespace
}  // namespace tavrena
