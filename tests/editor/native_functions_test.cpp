// The editor page's eight native functions on a recording web view, against the real
// controller and processor connected as a DAW connects them.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#include "midi/smf_writer.h"
#include "plugin_host.h"
#include "recording_webview.h"
#include "state/state.h"
#include "work_dir.h"

namespace tavrena {
namespace {

using testing::RecordingWebview;

// Records what the functions ask of the editor host.
class FakeServices : public EditorServices {
 public:
  std::optional<std::filesystem::path> ChooseSavePath(const std::string& name) override {
    suggested.push_back(name);
    return savePath;
  }
  std::optional<std::filesystem::path> LocalDataFolder() override { return dataFolder; }
  bool DragFile(const std::filesystem::path& file) override {
    dragged.push_back(file);
    return dropped;
  }
  bool OpenUrl(const std::string& url) override {
    opened.push_back(url);
    return true;
  }

  std::optional<std::filesystem::path> savePath;
  std::optional<std::filesystem::path> dataFolder;
  bool dropped = true;
  std::vector<std::string> suggested;
  std::vector<std::filesystem::path> dragged;
  std::vector<std::string> opened;
};

class NativeFunctionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(plugin.initialize(&error)) << error;
    plugin.controller().Bind(&webview);
  }

  // Calls a page function; the settled value, or the rejection text prefixed by "!".
  Json call(const std::string& name, const Json& params = Json::array()) {
    const Json request = {{"id", ++seq}, {"method", name}, {"params", params}};
    const auto replies = webview.request(request.dump());
    EXPECT_EQ(replies.size(), 1u) << name;
    if (replies.size() != 1) return nullptr;
    const std::string slot = "window._rpc[" + std::to_string(seq) + "]";
    const std::string& script = replies[0];
    const bool resolved = script.rfind(slot + ".resolve(", 0) == 0;
    const std::size_t open = script.find('(') + 1;
    const std::size_t close = script.rfind("); delete ");
    Json value = Json::parse(script.substr(open, close - open));
    if (resolved) return value;
    std::string rejection = "!";
    rejection += value.get<std::string>();
    return rejection;
  }

  Json readUntilIdle() {
    for (int i = 0; i < 2000; ++i) {
      Json snapshot = call("tavrenaRead");
      if (!snapshot.at("busy").get<bool>()) return snapshot;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ADD_FAILURE() << "the generation never finished";
    return nullptr;
  }

  editor::PluginHost plugin;
  RecordingWebview webview;
  int seq = 0;
};

TEST_F(NativeFunctionsTest, BindsTheEightFunctionsInTheirOrder) {
  const std::vector<std::string> names = {"tavrenaRead",     "tavrenaWrite",    "tavrenaGenerate",
                                          "tavrenaCancel",   "tavrenaExport",   "tavrenaDrag",
                                          "tavrenaPlayback", "tavrenaOpenBrand"};
  ASSERT_EQ(webview.documentScripts.size(), names.size());
  for (std::size_t i = 0; i < names.size(); ++i)
    EXPECT_EQ(webview.documentScripts[i], vstwebview::ExposeScript(names[i]));
}

TEST_F(NativeFunctionsTest, ReadLeavesTheStateOutOnlyForTheCurrentRevisionAsAnInteger) {
  const std::uint32_t revision = plugin.controller().currentRevision();
  Json snapshot = call("tavrenaRead");
  EXPECT_EQ(snapshot.at("revision"), revision);
  EXPECT_EQ(snapshot.at("state"), plugin.controller().currentState());
  EXPECT_EQ(snapshot.at("busy"), false);
  EXPECT_EQ(snapshot.at("status"), "Готово");
  // The processor answered the poll within the call: a full transport report.
  EXPECT_EQ(snapshot.at("transport").size(), 8u) << snapshot.at("transport");

  EXPECT_TRUE(call("tavrenaRead", {nullptr}).contains("state"));
  EXPECT_FALSE(call("tavrenaRead", {revision}).contains("state"));
  EXPECT_TRUE(call("tavrenaRead", {revision + 1}).contains("state"));
  EXPECT_TRUE(call("tavrenaRead", {static_cast<double>(revision)}).contains("state"));
  EXPECT_TRUE(call("tavrenaRead", {std::to_string(revision)}).contains("state"));

  // A host restoring a project: the page's old revision now brings the new state.
  Json restored = defaultState();
  restored["variation"] = 2;
  ASSERT_TRUE(plugin.restore(serializeState(restored)));
  snapshot = call("tavrenaRead", {revision});
  EXPECT_EQ(snapshot.at("revision"), revision + 1);
  EXPECT_EQ(snapshot.at("state").at("variation"), 2);
}

TEST_F(NativeFunctionsTest, WriteAdoptsValidStatesOnly) {
  const std::uint32_t revision = plugin.controller().currentRevision();
  EXPECT_EQ(call("tavrenaWrite"), false);
  EXPECT_EQ(plugin.controller().currentRevision(), revision);

  Json state = defaultState();
  state["variation"] = 1;
  EXPECT_EQ(call("tavrenaWrite", Json::array({state})), true);
  EXPECT_EQ(plugin.controller().currentRevision(), revision + 1);
  EXPECT_EQ(call("tavrenaRead").at("state").at("variation"), 1);

  state["config"]["bpm"] = "fast";
  EXPECT_EQ(call("tavrenaWrite", Json::array({state})), false);
  const Json snapshot = call("tavrenaRead");
  EXPECT_EQ(snapshot.at("revision"), revision + 1);
  EXPECT_NE(snapshot.at("status").get<std::string>().find("bpm"), std::string::npos)
      << snapshot.at("status");
}

TEST_F(NativeFunctionsTest, GenerationStartsWithoutWaitingAndIsCollectedByReading) {
  EXPECT_EQ(call("tavrenaCancel"), true) << "with nothing running";
  EXPECT_EQ(call("tavrenaGenerate"), true);
  EXPECT_EQ(call("tavrenaGenerate"), false) << "a job is held";
  Json snapshot = readUntilIdle();
  EXPECT_EQ(snapshot.at("status"), "Соло сгенерировано");
  const Json& variants = snapshot.at("state").at("variants");
  EXPECT_FALSE(variants.at(0).empty());
  EXPECT_EQ(call("tavrenaGenerate"), true) << "collected, so a new job may start";
  readUntilIdle();
}

TEST_F(NativeFunctionsTest, PlaybackTakesABooleanOnly) {
  EXPECT_EQ(call("tavrenaPlayback"), false);
  EXPECT_EQ(call("tavrenaPlayback", {"yes"}), "!Invalid native request");
  EXPECT_EQ(call("tavrenaPlayback", {true}), true);
  EXPECT_EQ(call("tavrenaPlayback", {false}), true);
}

TEST_F(NativeFunctionsTest, ExportDragAndTheMakersSiteGoThroughTheHostsServices) {
  // No host services: nothing can leave the page.
  EXPECT_EQ(call("tavrenaExport"), false);
  EXPECT_EQ(call("tavrenaDrag"), false);
  EXPECT_EQ(call("tavrenaOpenBrand"), false);

  const std::filesystem::path folder = testing::freshWorkDir("native_functions_export");
  auto services = std::make_shared<FakeServices>();
  services->savePath = folder / "take.mid";
  services->dataFolder = folder / "data";
  plugin.controller().setEditorServices(services);

  EXPECT_EQ(call("tavrenaExport"), true);
  EXPECT_EQ(services->suggested, std::vector<std::string>{"solo.mid"});
  std::ifstream in(folder / "take.mid", std::ios::binary);
  const std::vector<std::uint8_t> written{std::istreambuf_iterator<char>(in), {}};
  EXPECT_EQ(written, writeStandardMidiFile(plugin.controller().currentState()));

  services->dropped = false;
  EXPECT_EQ(call("tavrenaDrag"), false);
  ASSERT_EQ(services->dragged.size(), 1u);
  EXPECT_EQ(services->dragged[0].parent_path(), dragFolder(folder / "data"));

  EXPECT_EQ(call("tavrenaOpenBrand"), true);
  ASSERT_EQ(services->opened.size(), 1u);
  EXPECT_EQ(services->opened[0].rfind("https://", 0), 0u);
}

}  // namespace
}  // namespace tavrena
