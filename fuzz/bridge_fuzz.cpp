// Request texts -> Webview::HandleNativeRequest -> the controller's eight native
// functions, with the real processor connected behind it, as a hostile or broken
// page would drive them. Every request must end in no reply or exactly one reply
// script for its own sequence number; a crash, a sanitizer report or a broken
// invariant is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "plugin_host.h"
#include "vstwebview/webview.h"

namespace {

class CountingWebview : public vstwebview::Webview {
 public:
  void SetWindowTitle(const std::string&) override {}
  void ResizeWindow(std::int32_t, std::int32_t, vstwebview::ResizeMode) override {}
  std::string ContentRootUrl() override { return {}; }
  void LoadUrl(const std::string&) override {}
  void EvalJS(const std::string& script, vstwebview::ScriptResultCallback) override {
    ++replies;
    last = script;
  }
  void AddDocumentScript(const std::string&) override {}
  void* NativeWindow() override { return nullptr; }
  void Shutdown() override {}
  void RunTask(std::function<void()> task) override { task(); }

  int replies = 0;
  std::string last;
};

// Export and drag go as far as the host's dialog, which is always cancelled: the
// fuzzer must not fill the disk.
class CancellingServices : public tavrena::EditorServices {
 public:
  std::optional<std::filesystem::path> ChooseSavePath(const std::string&) override {
    return std::nullopt;
  }
  std::optional<std::filesystem::path> LocalDataFolder() override { return std::nullopt; }
  bool DragFile(const std::filesystem::path&) override { return false; }
  bool OpenUrl(const std::string&) override { return false; }
};

struct Rig {
  Rig() {
    std::string error;
    if (!plugin.initialize(&error)) std::abort();
    plugin.controller().setEditorServices(std::make_shared<CancellingServices>());
    plugin.controller().Bind(&webview);
  }
  tavrena::editor::PluginHost plugin;
  CountingWebview webview;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Rig* rig = new Rig();  // lives for the whole run, as a controller does
  CountingWebview& webview = rig->webview;
  const int before = webview.replies;
  const std::string text(reinterpret_cast<const char*>(data), size);
  webview.HandleNativeRequest(text);

  const int replies = webview.replies - before;
  if (replies > 1) std::abort();
  if (replies == 1 && webview.last.rfind("window._rpc[", 0) != 0) std::abort();
  // The controller's state is always a valid document, whatever the page sent.
  const auto& state = rig->plugin.controller().currentState();
  if (!state.is_object() || !state.contains("config")) std::abort();
  return 0;
}
