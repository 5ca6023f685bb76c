#pragma once
// A host frame, the fake runtime and one EdgeChromiumBrowser made the way the view makes it.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "fake_webview2_runtime.h"
#include "vstwebview/edge_chromium_browser.h"

namespace tavrena::testing {

class BrowserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    currentRuntime = &runtime;
    frame = CreateWindowExW(0, L"STATIC", L"host frame", WS_OVERLAPPEDWINDOW, 0, 0, 900, 700,
                            nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(frame, nullptr);
  }
  void TearDown() override {
    browser.reset();
    if (frame) DestroyWindow(frame);
    currentRuntime = nullptr;
  }

  // Constructs the browser and requests its environment, as the view's factory does.
  void Create(bool debug = false) {
    browser = vstwebview::CreateEdgeChromiumBrowser(
        frame, debug,
        [this](vstwebview::Webview* webview) {
          readyWith.push_back(webview);
          if (onReady) onReady(webview);
        },
        &FakeCreateEnvironment);
  }
  // Created, environment and controller completed: the page can load.
  void BringUp() {
    Create();
    ASSERT_TRUE(browser);
    ASSERT_EQ(runtime.CompleteEnvironment(), S_OK);
    ASSERT_EQ(runtime.CompleteController(), S_OK);
  }

  FakeRuntime runtime;
  HWND frame = nullptr;
  std::unique_ptr<vstwebview::EdgeChromiumBrowser> browser;
  std::vector<vstwebview::Webview*> readyWith;
  std::function<void(vstwebview::Webview*)> onReady;
};

}  // namespace tavrena::testing
