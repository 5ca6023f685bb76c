#pragma once
// A browser for the plug-in view's tests: its factory and every browser it makes write
// what the view asks of them into one log, so a test reads the order of events across
// browsers ("b1 Shutdown", "b1 destroyed", "b2 LoadUrl ..."). A browser becomes ready
// only when the test says so, as the embedded browser does some time after creation.
#include <cstdint>
#include <functional>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "vstwebview/browser_factory.h"
#include "vstwebview/webview.h"

namespace tavrena::testing {

using EventLog = std::vector<std::string>;

inline const char* resizeModeName(vstwebview::ResizeMode mode) {
  switch (mode) {
    case vstwebview::ResizeMode::Free:
      return "Free";
    case vstwebview::ResizeMode::Minimum:
      return "Minimum";
    case vstwebview::ResizeMode::Maximum:
      return "Maximum";
    case vstwebview::ResizeMode::Fixed:
      return "Fixed";
  }
  return "?";
}

class FakeBrowser : public vstwebview::Webview {
 public:
  FakeBrowser(EventLog& log, std::string name, void* parent, vstwebview::ReadyCallback ready,
              std::string root)
      : log_(log),
        name_(std::move(name)),
        parent_(parent),
        ready_(std::move(ready)),
        root_(std::move(root)) {}
  ~FakeBrowser() override { log_.push_back(name_ + " destroyed"); }

  // What the embedded browser does once its controller is set up.
  void becomeReady() { ready_(this); }

  void SetWindowTitle(const std::string& title) override {
    log_.push_back(name_ + " SetWindowTitle " + title);
  }
  void ResizeWindow(std::int32_t width, std::int32_t height, vstwebview::ResizeMode mode) override {
    std::ostringstream line;
    line << name_ << " ResizeWindow " << width << 'x' << height << ' ' << resizeModeName(mode);
    log_.push_back(line.str());
    if (failing) throw std::runtime_error("browser gone");
    if (onResize) onResize();
  }
  std::string ContentRootUrl() override { return root_; }
  void LoadUrl(const std::string& url) override { log_.push_back(name_ + " LoadUrl " + url); }
  void EvalJS(const std::string&, vstwebview::ScriptResultCallback) override {}
  void AddDocumentScript(const std::string&) override {}
  void* NativeWindow() override { return parent_; }
  void Shutdown() override {
    log_.push_back(name_ + " Shutdown");
    if (failing) throw std::runtime_error("browser gone");
  }
  void RunTask(std::function<void()> task) override { task(); }

  const std::string& name() const { return name_; }
  std::function<void()> onResize;  // runs inside ResizeWindow
  bool failing = false;            // ResizeWindow and Shutdown throw, as a lost helper might

 private:
  EventLog& log_;
  std::string name_;
  void* parent_;
  vstwebview::ReadyCallback ready_;
  std::string root_;
};

// Makes browsers b1, b2, ... and logs each request as "create <parent> debug=<0|1>".
class FakeBrowserFactory {
 public:
  explicit FakeBrowserFactory(EventLog& log) : log_(log) {}

  enum class Outcome { Browser, Null, Throw, ReadyAtOnce };
  Outcome outcome = Outcome::Browser;
  std::string root = "https://root.test";

  vstwebview::BrowserFactory function() {
    return
        [this](const vstwebview::BrowserRequest& request) -> std::unique_ptr<vstwebview::Webview> {
          void* parent = request.parent;
          vstwebview::ReadyCallback ready = request.ready;
          std::ostringstream line;
          line << "create " << parent << " debug=" << request.debug;
          log_.push_back(line.str());
          if (outcome == Outcome::Null) return nullptr;
          if (outcome == Outcome::Throw) throw std::runtime_error("browser process failed");
          std::ostringstream name;  // not "b" + to_string: GCC 12 warns falsely on that
          name << 'b' << ++made_;
          auto browser =
              std::make_unique<FakeBrowser>(log_, name.str(), parent, std::move(ready), root);
          if (outcome == Outcome::ReadyAtOnce) browser->becomeReady();
          return browser;
        };
  }

  int made() const { return made_; }

 private:
  EventLog& log_;
  int made_ = 0;
};

}  // namespace tavrena::testing
