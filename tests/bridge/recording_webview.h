#pragma once
// A Webview that records what the bridge asks of the platform: document scripts,
// evaluated scripts, and tasks (run at once, as the embedded browser does).
#include <string>
#include <vector>

#include "vstwebview/webview.h"

namespace tavrena::testing {

class RecordingWebview : public vstwebview::Webview {
 public:
  void SetWindowTitle(const std::string& title) override { this->title = title; }
  void ResizeWindow(std::int32_t, std::int32_t, vstwebview::ResizeMode) override {}
  std::string ContentRootUrl() override { return "https://tavrena.invalid"; }
  void LoadUrl(const std::string& url) override { loaded.push_back(url); }
  void EvalJS(const std::string& script, vstwebview::ScriptResultCallback) override {
    evaluated.push_back(script);
  }
  void AddDocumentScript(const std::string& script) override { documentScripts.push_back(script); }
  void* NativeWindow() override { return nullptr; }
  void Shutdown() override {}
  void RunTask(std::function<void()> task) override {
    ++tasks;
    task();
  }

  // Sends one request and returns the reply scripts it produced.
  std::vector<std::string> request(const std::string& text) {
    const std::size_t before = evaluated.size();
    HandleNativeRequest(text);
    return {evaluated.begin() + static_cast<std::ptrdiff_t>(before), evaluated.end()};
  }

  std::string title;
  std::vector<std::string> loaded;
  std::vector<std::string> evaluated;
  std::vector<std::string> documentScripts;
  int tasks = 0;
};

}  // namespace tavrena::testing
