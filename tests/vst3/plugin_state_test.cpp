// The processor and the controller together, loaded from the bundle and wired as a DAW
// wires them: the state handshake, save and restore, and generation feeding the
// processor.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "controller.h"
#include "generation_gate.h"
#include "generator/generate.h"
#include "host/host.h"
#include "ids.h"
#include "state/state.h"

namespace tavrena {
namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

Json note(double start, double length, int pitch, int velocity) {
  return {{"start", start}, {"length", length}, {"pitch", pitch}, {"velocity", velocity}};
}

// A phrase with everything a user can change set away from its default, including
// non-ASCII text and reals without a short decimal form.
Json richState() {
  Json state = defaultState();
  state["config"]["progression"] = {"Dm7", "G7", "Cmaj7", "A7"};
  state["config"]["bpm"] = 93.7;
  state["config"]["meter"] = "3/4";
  state["config"]["output"] = "соло/фраза.mid";
  state["sync"] = true;
  state["loop"] = false;
  state["randomSeed"] = true;
  state["variation"] = 1;
  state["variants"] = {Json::array({note(0.1, 1.0 / 3.0, 62, 80), note(2.0, 0.5, 65, 127)}),
                       Json::array({note(0.0, 1.0 / 480.0, 0, 1)}), Json::array()};
  return state;
}

class PluginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    module = host::Module::load(host::defaultBundlePath(), &error);
    ASSERT_TRUE(module) << error;
    plugin = host::Plugin::create(*module, kProcessorUID, hostApp, &handler, &error);
    ASSERT_TRUE(plugin) << error;
  }
  void TearDown() override {
    plugin.reset();
    module.reset();
    EXPECT_EQ(host::Message::liveCount(), 0);
  }

  std::string processorState() { return host::saveState(plugin->component()); }
  std::string controllerState() { return host::saveState(plugin->controller()); }

  host::HostApplication hostApp;
  host::ComponentHandler handler;
  std::unique_ptr<host::Module> module;
  std::unique_ptr<host::Plugin> plugin;
};

TEST_F(PluginTest, BothSidesStartFromTheDefaultDocument) {
  const std::string expected = serializeState(defaultState());
  EXPECT_EQ(processorState(), expected);
  EXPECT_EQ(controllerState(), expected);
}

TEST_F(PluginTest, RefusedStateChangesNeitherSide) {
  const std::string before = serializeState(defaultState());
  for (const std::string& bad :
       {std::string("{\"variation\":3}"), std::string("[1,2]"), std::string("{\"config\":"),
        std::string(), std::string("{\"version\":2} trailing")}) {
    EXPECT_EQ(host::loadState(plugin->component(), bad), kResultFalse) << bad;
    EXPECT_EQ(host::loadComponentState(plugin->controller(), bad), kResultFalse) << bad;
    EXPECT_EQ(host::loadState(plugin->controller(), bad), kResultFalse) << bad;
  }
  // A refused message from the controller's side leaves the processor as it was too.
  EXPECT_EQ(plugin->sendToProcessor(kMsgState,
                                    [](IAttributeList& attributes) {
                                      const std::string text = R"({"variation":-1})";
                                      attributes.setBinary(kAttrJson, text.data(),
                                                           static_cast<uint32>(text.size()));
                                    }),
            kResultFalse);
  EXPECT_EQ(processorState(), before);
  EXPECT_EQ(controllerState(), before);
}

// Damaged or hostile project files: each is refused by both sides, through the
// host's stream and through the controller's message, and neither side changes
// (deep nesting and huge texts used to overflow the stack and take the host down).
TEST_F(PluginTest, HostileStatesAreRefusedWithoutHarm) {
  const std::string before = serializeState(defaultState());
  const auto withConfig = [](const std::string& config) {
    return "{\"version\":2,\"config\":" + config + "}";
  };
  std::string deepSolo = "{\"progression\":[\"C\"],\"solo\":";
  for (int i = 0; i < 58000; ++i) deepSolo += "{\"a\":";
  deepSolo += std::string(58000, '}') + "}";
  const std::vector<std::string> hostile = {
      withConfig(R"({"progression":[")" + std::string(60000, 'm') + R"("]})"),
      withConfig(R"({"progression":["C"],"meter":")" + std::string(100000, '4') + R"(/4"})"),
      withConfig(deepSolo),
      std::string(130000, '[') + std::string(130000, ']'),
      std::string("{\"version\":2}\0 junk", 17),
  };
  for (const std::string& bad : hostile) {
    const std::string head = bad.substr(0, 40);
    EXPECT_EQ(host::loadState(plugin->component(), bad), kResultFalse) << head;
    EXPECT_EQ(host::loadState(plugin->controller(), bad), kResultFalse) << head;
    EXPECT_EQ(plugin->sendToProcessor(kMsgState,
                                      [&bad](IAttributeList& attributes) {
                                        attributes.setBinary(kAttrJson, bad.data(),
                                                             static_cast<uint32>(bad.size()));
                                      }),
              kResultFalse)
        << head;
  }
  EXPECT_EQ(processorState(), before);
  EXPECT_EQ(controllerState(), before);
}

TEST_F(PluginTest, SavedStateRestoresByteForByteInANewInstance) {
  const std::string canonical = serializeState(normalizeState(richState()));
  ASSERT_EQ(host::loadState(plugin->component(), richState().dump()), kResultOk);
  ASSERT_EQ(host::loadState(plugin->controller(), richState().dump()), kResultOk);
  const std::string savedProcessor = processorState();
  const std::string savedController = controllerState();
  EXPECT_EQ(savedProcessor, canonical);
  EXPECT_EQ(savedController, canonical);
  EXPECT_NE(savedProcessor.find("соло/фраза.mid"), std::string::npos);  // raw UTF-8

  // A project reopened: a fresh pair restored from the saved streams.
  std::string error;
  auto reopened = host::Plugin::create(*module, kProcessorUID, hostApp, nullptr, &error);
  ASSERT_TRUE(reopened) << error;
  ASSERT_EQ(host::loadState(reopened->component(), savedProcessor), kResultOk);
  ASSERT_EQ(host::loadComponentState(reopened->controller(), savedProcessor), kResultOk);
  ASSERT_EQ(host::loadState(reopened->controller(), savedController), kResultOk);
  EXPECT_EQ(host::saveState(reopened->component()), savedProcessor);
  EXPECT_EQ(host::saveState(reopened->controller()), savedController);
}

TEST_F(PluginTest, OlderLayoutIsSavedInTheCurrentOne) {
  const std::string older =
      R"({"chords":[{"name":"C"},{"name":"G"}],"bpm":100,"numerator":3,"denominator":4,)"
      R"("loop":false})";
  ASSERT_EQ(host::loadState(plugin->component(), older), kResultOk);
  const Json saved = Json::parse(processorState());
  EXPECT_EQ(saved.at("version"), 2);
  EXPECT_EQ(saved.at("config").at("progression"), Json::array({"C", "G"}));
  EXPECT_EQ(saved.at("config").at("meter"), "3/4");
  EXPECT_EQ(saved.at("loop"), false);
  // Saving what was loaded is stable from then on.
  ASSERT_EQ(host::loadState(plugin->component(), processorState()), kResultOk);
  EXPECT_EQ(processorState(), saved.dump());
}

// The controller in process, talking to the processor loaded from the bundle.
class HandshakeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    module = host::Module::load(host::defaultBundlePath(), &error);
    ASSERT_TRUE(module) << error;
    component = module->create<IComponent>(kProcessorUID);
    ASSERT_TRUE(component);
    ASSERT_EQ(component->initialize(&hostApp), kResultOk);
    componentPoint = FUnknownPtr<IConnectionPoint>(component);
    ASSERT_TRUE(componentPoint);
  }
  void TearDown() override {
    if (controller) {
      controller->terminate();
      controller = nullptr;
    }
    if (toController) toController->cut();
    if (component) component->terminate();
    componentPoint = nullptr;
    component = nullptr;
    module.reset();
    EXPECT_EQ(host::Message::liveCount(), 0);
  }

  void connect(GenerateFunction generate) {
    controller = owned(new Controller(std::move(generate)));
    ASSERT_EQ(controller->initialize(&hostApp), kResultOk);
    toProcessor = std::make_unique<host::ConnectionProxy>(componentPoint.get());
    toController = std::make_unique<host::ConnectionProxy>(controller.get());
    ASSERT_EQ(controller->connect(toProcessor.get()), kResultOk);
    ASSERT_EQ(componentPoint->connect(toController.get()), kResultOk);
    controller->setComponentHandler(&handler);
  }

  std::string processorState() { return host::saveState(component.get()); }
  std::string controllerState() { return host::saveState(controller.get()); }

  host::HostApplication hostApp;
  host::ComponentHandler handler;
  std::unique_ptr<host::Module> module;
  IPtr<IComponent> component;
  IPtr<IConnectionPoint> componentPoint;
  std::unique_ptr<host::ConnectionProxy> toProcessor;
  std::unique_ptr<host::ConnectionProxy> toController;
  IPtr<Controller> controller;
};

TEST_F(HandshakeTest, AppliedStateReachesTheProcessorFirst) {
  connect(generateSolo);
  ASSERT_TRUE(controller->applyState(richState()));
  EXPECT_EQ(toProcessor->log(), std::vector<std::string>{"TavrenaState"});
  EXPECT_EQ(processorState(), serializeState(normalizeState(richState())));
  EXPECT_EQ(controllerState(), processorState());
  EXPECT_EQ(handler.dirtyCalls, 1);
}

TEST_F(HandshakeTest, WithTheProcessorGoneNothingChanges) {
  connect(generateSolo);
  toProcessor->cut();
  EXPECT_FALSE(controller->applyState(richState()));
  EXPECT_EQ(controllerState(), serializeState(defaultState()));
  EXPECT_EQ(processorState(), serializeState(defaultState()));
  EXPECT_EQ(controller->currentRevision(), 0u);
}

TEST_F(HandshakeTest, PollBringsBackTheProcessorsTransport) {
  connect(generateSolo);
  controller->requestTransport();
  EXPECT_EQ(toProcessor->log(), std::vector<std::string>{"TavrenaPoll"});
  EXPECT_EQ(toController->log(), std::vector<std::string>{"TavrenaTransport"});
  const Json& transport = controller->transportReport();
  EXPECT_EQ(transport.size(), 8u);
  EXPECT_EQ(transport.at("bpm"), 120.0);  // nothing processed yet: the defaults
  EXPECT_EQ(transport.at("beatsPerBar"), 4.0);
  EXPECT_EQ(transport.at("numerator"), 4);
  EXPECT_EQ(transport.at("denominator"), 4);
  EXPECT_EQ(transport.at("playing"), 0);
  EXPECT_EQ(transport.at("hasPpq"), 0);
}

TEST_F(HandshakeTest, GeneratedVariantIsWhatTheGeneratorMakesForTheSlotsSeed) {
  connect(generateSolo);
  Json start = defaultState();
  start["variation"] = 2;
  ASSERT_TRUE(controller->applyState(start));
  ASSERT_TRUE(controller->startGeneration());
  ASSERT_TRUE(testing::collectWhenDone(*controller));
  ASSERT_EQ(controller->statusText(), "Соло сгенерировано");

  Json configuration = start.at("config");
  configuration["seed"] = 44;
  const std::atomic<bool> noCancel{false};
  const Json expected = generateSolo(configuration, noCancel);
  ASSERT_FALSE(expected.empty());

  const Json saved = Json::parse(processorState());
  EXPECT_EQ(saved.at("variants").at(2).size(), expected.size());
  EXPECT_EQ(saved.at("variants").at(0), Json::array());
  EXPECT_EQ(saved.at("variants").at(1), Json::array());
  EXPECT_EQ(controllerState(), processorState());
  // The stored notes are the generator's, normalised as every state is.
  Json withNotes = start;
  withNotes["variants"][2] = expected;
  EXPECT_EQ(processorState(), serializeState(normalizeState(withNotes)));
}

TEST_F(HandshakeTest, EditBeforeCollectionDiscardsTheResult) {
  connect(generateSolo);
  ASSERT_TRUE(controller->startGeneration());
  Json edited = defaultState();
  edited["sync"] = true;
  ASSERT_TRUE(controller->applyState(edited));
  ASSERT_TRUE(testing::collectWhenDone(*controller));
  EXPECT_EQ(controller->statusText(), "Проект изменён — повторите генерацию");
  EXPECT_EQ(processorState(), serializeState(normalizeState(edited)));
  EXPECT_EQ(controllerState(), processorState());
}

}  // namespace
}  // namespace tavrena
