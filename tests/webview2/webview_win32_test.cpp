// The host window under the browser: a child of the host's frame, sized by ResizeWindow in
// each mode with the control following it, its title, its size limits and its resource folder.
#include <gtest/gtest.h>

#include <string>

#include "browser_fixture.h"

namespace tavrena::testing {
namespace {

using vstwebview::ResizeMode;

SIZE ClientSize(HWND window) {
  RECT rect{};
  GetClientRect(window, &rect);
  return {rect.right - rect.left, rect.bottom - rect.top};
}

LONG Style(HWND window) {
  return GetWindowLongW(window, GWL_STYLE);
}

TEST_F(BrowserTest, HostWindowIsAVisibleChildOfTheFrameAtItsOrigin) {
  Create();
  const HWND window = browser->Window();
  ASSERT_TRUE(IsWindow(window));
  EXPECT_EQ(browser->NativeWindow(), window);
  EXPECT_EQ(GetParent(window), frame);
  EXPECT_TRUE(Style(window) & WS_CHILD);
  EXPECT_FALSE(Style(window) & WS_CAPTION);
  RECT inFrame{};
  GetWindowRect(window, &inFrame);
  MapWindowPoints(HWND_DESKTOP, frame, reinterpret_cast<POINT*>(&inFrame), 2);
  EXPECT_EQ(inFrame.left, 0);
  EXPECT_EQ(inFrame.top, 0);
  wchar_t className[32] = {};
  GetClassNameW(window, className, 32);
  EXPECT_STREQ(className, L"webview");
}

TEST_F(BrowserTest, FixedAndFreeResizeTheClientAreaAndTheControl) {
  BringUp();
  const HWND window = browser->Window();
  browser->ResizeWindow(1200, 800, ResizeMode::Fixed);
  EXPECT_EQ(ClientSize(window).cx, 1200);
  EXPECT_EQ(ClientSize(window).cy, 800);
  EXPECT_FALSE(Style(window) & (WS_THICKFRAME | WS_MAXIMIZEBOX));
  const RECT fitted = runtime.controller().bounds.back();
  EXPECT_EQ(fitted.right - fitted.left, 1200);
  EXPECT_EQ(fitted.bottom - fitted.top, 800);

  browser->ResizeWindow(900, 600, ResizeMode::Free);
  EXPECT_EQ(ClientSize(window).cx, 900);
  EXPECT_EQ(ClientSize(window).cy, 600);
  EXPECT_FALSE(Style(window) & WS_THICKFRAME);  // a child gets no sizing frame
  EXPECT_EQ(runtime.controller().bounds.back().right, 900);
}

TEST_F(BrowserTest, MinimumAndMaximumOnlyRecordTheLimitsTheWindowKeepsTo) {
  Create();
  const HWND window = browser->Window();
  browser->ResizeWindow(640, 480, ResizeMode::Fixed);
  browser->ResizeWindow(900, 600, ResizeMode::Minimum);
  browser->ResizeWindow(1920, 1280, ResizeMode::Maximum);
  EXPECT_EQ(ClientSize(window).cx, 640);  // unchanged
  MINMAXINFO info{};
  SendMessageW(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.ptMinTrackSize.x, 900);
  EXPECT_EQ(info.ptMinTrackSize.y, 600);
  EXPECT_EQ(info.ptMaxTrackSize.x, 1920);
  EXPECT_EQ(info.ptMaxSize.y, 1280);
}

TEST_F(BrowserTest, TopLevelWindowGrowsToKeepTheClientSizeAndGetsASizingFrame) {
  browser = std::make_unique<vstwebview::EdgeChromiumBrowser>(nullptr, false, nullptr,
                                                              &FakeCreateEnvironment);
  const HWND window = browser->Window();
  EXPECT_EQ(GetParent(window), nullptr);
  browser->ResizeWindow(700, 500, ResizeMode::Free);
  EXPECT_TRUE(Style(window) & WS_THICKFRAME);
  EXPECT_EQ(ClientSize(window).cx, 700);
  EXPECT_EQ(ClientSize(window).cy, 500);
  RECT outer{};
  GetWindowRect(window, &outer);
  EXPECT_GT(outer.bottom - outer.top, 500);  // the caption is outside the client area
}

TEST_F(BrowserTest, TitleIsTheUtf8TextAsUtf16) {
  Create();
  browser->SetWindowTitle("Tavrena — соло");
  wchar_t title[64] = {};
  GetWindowTextW(browser->Window(), title, 64);
  EXPECT_STREQ(title, L"Tavrena — соло");
}

TEST_F(BrowserTest, ClosingTheWindowClearsItsHandle) {
  Create();
  SendMessageW(browser->Window(), WM_CLOSE, 0, 0);
  EXPECT_EQ(browser->NativeWindow(), nullptr);
  browser->SetWindowTitle("gone");  // nothing to set
}

TEST_F(BrowserTest, ResourceFolderIsBesideTheModulesFolder) {
  Create();
  const std::string root = browser->vstwebview::WebviewWin32::ContentRootUrl();
  wchar_t module[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, module, MAX_PATH);  // the test links the code statically
  std::wstring folder(module);
  folder.erase(folder.find_last_of(L'\\'));
  folder.erase(folder.find_last_of(L'\\') + 1);
  const std::string expected =
      std::string(folder.begin(), folder.end()) + "Resources\\";  // ASCII build paths
  EXPECT_EQ(root, expected);
  EXPECT_EQ(root.find(".."), std::string::npos);
}

}  // namespace
}  // namespace tavrena::testing
