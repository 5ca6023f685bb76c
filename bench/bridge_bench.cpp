// The editor bridge's own share of a page call, without a browser: a request through
// HandleNativeRequest into the real controller and processor, and the same over
// the loopback host's HTTP (the request posted, the reply collected by the waiting
// script request) from a client on 127.0.0.1.
#include <benchmark/benchmark.h>
#include <httplib.h>

#include <regex>
#include <thread>

#include "plugin_host.h"
#include "state/state.h"
#include "ui_loop.h"
#include "vstwebview/webview_loopback.h"

namespace {

using tavrena::Json;

class ReplyCounter : public vstwebview::Webview {
 public:
  void SetWindowTitle(const std::string&) override {}
  void ResizeWindow(std::int32_t, std::int32_t, vstwebview::ResizeMode) override {}
  std::string ContentRootUrl() override { return {}; }
  void LoadUrl(const std::string&) override {}
  void EvalJS(const std::string& script, vstwebview::ScriptResultCallback) override {
    bytes += script.size();
  }
  void AddDocumentScript(const std::string&) override {}
  void* NativeWindow() override { return nullptr; }
  void Shutdown() override {}
  void RunTask(std::function<void()> task) override { task(); }
  std::size_t bytes = 0;
};

void BM_BridgeRead(benchmark::State& state) {
  tavrena::editor::PluginHost plugin;
  std::string error;
  plugin.initialize(&error);
  ReplyCounter webview;
  plugin.controller().Bind(&webview);
  const std::string request = R"({"id":1,"method":"tavrenaRead","params":[)" +
                              std::to_string(plugin.controller().currentRevision()) + "]}";
  for (auto _ : state) webview.HandleNativeRequest(request);
  benchmark::DoNotOptimize(webview.bytes);
}
BENCHMARK(BM_BridgeRead);

void BM_BridgeWrite(benchmark::State& state) {
  tavrena::editor::PluginHost plugin;
  std::string error;
  plugin.initialize(&error);
  ReplyCounter webview;
  plugin.controller().Bind(&webview);
  Json page = tavrena::defaultState();
  int bpm = 0;
  for (auto _ : state) {
    page["config"]["bpm"] = 60 + (++bpm % 100);  // a real change every time
    webview.HandleNativeRequest(
        Json({{"id", 1}, {"method", "tavrenaWrite"}, {"params", Json::array({page})}}).dump());
  }
  benchmark::DoNotOptimize(webview.bytes);
}
BENCHMARK(BM_BridgeWrite);

// One page call over real HTTP: POST the request, fetch the reply script.
void BM_LoopbackRoundTrip(benchmark::State& state) {
  tavrena::editor::PluginHost plugin;
  std::string error;
  plugin.initialize(&error);
  tavrena::editor::UiLoop ui;
  vstwebview::WebviewLoopback webview(
      [](std::string_view name) -> std::optional<std::string> {
        if (name == "TAVRENA_INDEX_HTML") return std::string("<html><head></head></html>");
        return std::nullopt;
      },
      [&ui](std::function<void()> task) { ui.post(std::move(task)); });
  plugin.controller().Bind(&webview);
  if (!webview.Start(0, &error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  std::thread uiThread([&ui] { ui.run({}); });
  httplib::Client poster("127.0.0.1", webview.Port());
  httplib::Client waiter("127.0.0.1", webview.Port());
  const std::string prefix = webview.Origin().substr(webview.Origin().find('/', 7));
  std::smatch match;
  const std::string page = poster.Get(prefix + "index.html")->body;
  std::regex_search(page, match, std::regex("_bridge/([0-9]+)/"));
  const std::string bridge = prefix + match[0].str();

  int n = 0;
  for (auto _ : state) {
    ++n;
    const std::string text =
        R"({"id":)" + std::to_string(n) + R"(,"method":"tavrenaRead","params":[0]})";
    poster.Post(bridge + "invoke?n=" + std::to_string(n), text, "text/plain");
    const auto reply = waiter.Get(bridge + "next.js?n=" + std::to_string(n));
    if (!reply || reply->status != 200) state.SkipWithError("no reply");
  }
  webview.Shutdown();
  ui.quit();
  uiThread.join();
}
BENCHMARK(BM_LoopbackRoundTrip)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
