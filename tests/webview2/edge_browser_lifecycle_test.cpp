// The WebView2 browser from the environment request to its destruction, against the fake
// runtime: the order of the creation steps, what each failure writes and leaves behind, and
// that nothing the runtime calls late reaches a browser that is gone.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "browser_fixture.h"

namespace tavrena::testing {
namespace {

using vstwebview::EdgeChromiumBrowser;

std::vector<std::string> Without(std::vector<std::string> calls, const std::string& name) {
  calls.erase(std::remove(calls.begin(), calls.end(), name), calls.end());
  return calls;
}

TEST_F(BrowserTest, CreationRunsTheStepsInOrderAndThenTheReadyCallback) {
  ::testing::internal::CaptureStderr();
  Create();
  ASSERT_TRUE(browser);
  EXPECT_EQ(runtime.requests, 1);
  EXPECT_TRUE(runtime.browserFolderNull);  // the installed runtime
  EXPECT_TRUE(runtime.optionsNull);
  EXPECT_TRUE(readyWith.empty());

  ASSERT_EQ(runtime.CompleteEnvironment(), S_OK);
  EXPECT_EQ(runtime.environment->controllerParent, browser->Window());
  EXPECT_TRUE(readyWith.empty());
  ASSERT_EQ(runtime.CompleteController(), S_OK);
  const std::string diagnostics = ::testing::internal::GetCapturedStderr();

  EXPECT_EQ(diagnostics,
            "WebView2 environment callback: 0x00000000\n"
            "WebView2 controller callback: 0x00000000\n");
  // put_Bounds also follows every WM_SIZE; only the order of the steps matters here.
  EXPECT_EQ(Without(runtime.log.calls, "put_Bounds"),
            (std::vector<std::string>{
                "CreateCoreWebView2EnvironmentWithOptions", "CreateCoreWebView2Controller",
                "get_CoreWebView2", "AddWebResourceRequestedFilter", "add_NavigationStarting",
                "add_NewWindowRequested", "add_WebResourceRequested", "get_Settings",
                "put_AreDevToolsEnabled", "add_WebMessageReceived", "add_PermissionRequested",
                "AddScriptToExecuteOnDocumentCreated"}));
  EXPECT_EQ(runtime.log.calls.back(), "put_Bounds");  // fitted after the ready callback

  FakeWebView& webview = runtime.webview();
  ASSERT_EQ(webview.filters.size(), 1u);
  EXPECT_EQ(webview.filters[0].first, L"https://tavrena.invalid/*");
  EXPECT_EQ(webview.filters[0].second, COREWEBVIEW2_WEB_RESOURCE_CONTEXT_ALL);
  EXPECT_EQ(webview.settings->devToolsEnabled, std::optional<bool>(false));
  EXPECT_EQ(webview.documentScripts,
            std::vector<std::wstring>{
                L"window.external={invoke:s=>window.chrome.webview.postMessage(s)}"});
  ASSERT_EQ(readyWith.size(), 1u);
  EXPECT_EQ(readyWith[0], browser.get());

  // The control covers the host window's whole client area.
  RECT client{};
  GetClientRect(browser->Window(), &client);
  const RECT bounds = runtime.controller().bounds.back();
  EXPECT_EQ(bounds.right - bounds.left, client.right);
  EXPECT_EQ(bounds.bottom - bounds.top, client.bottom);
  EXPECT_EQ(browser->ContentRootUrl(), "https://tavrena.invalid");
}

TEST_F(BrowserTest, DebugBrowserOpensTheDeveloperToolsAndStopsWhenTheyFail) {
  browser = vstwebview::CreateEdgeChromiumBrowser(
      frame, true, [this](vstwebview::Webview* w) { readyWith.push_back(w); },
      &FakeCreateEnvironment);
  ASSERT_TRUE(browser);
  runtime.log.failures["OpenDevToolsWindow"] = E_FAIL;
  runtime.CompleteEnvironment();
  EXPECT_EQ(runtime.CompleteController(), E_FAIL);
  EXPECT_FALSE(runtime.webview().settings->devToolsEnabled.has_value());
  EXPECT_TRUE(readyWith.empty());
  EXPECT_FALSE(runtime.webview().webMessageReceived);
}

// One failing step of the creation: what the runtime hears back, the line written, and a
// browser that never became ready but keeps its (empty) window.
struct StepFailure {
  const char* call;
  HRESULT expected;
  const char* diagnostic;  // the last line written
};

class CreationStepFailure : public BrowserTest,
                            public ::testing::WithParamInterface<StepFailure> {};

TEST_P(CreationStepFailure, EndsTheSequenceWithItsLine) {
  const StepFailure& failure = GetParam();
  runtime.log.failures[failure.call] = E_ACCESSDENIED;
  Create();
  ASSERT_TRUE(browser);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(runtime.CompleteEnvironment(), S_OK);
  if (runtime.environment->controllerHandler) {
    EXPECT_EQ(runtime.CompleteController(), failure.expected);
  }
  const std::string diagnostics = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(diagnostics.find(failure.diagnostic), std::string::npos) << diagnostics;
  EXPECT_TRUE(readyWith.empty());
  EXPECT_TRUE(runtime.webview().documentScripts.empty());
  EXPECT_NE(browser->NativeWindow(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    EdgeBrowser, CreationStepFailure,
    ::testing::Values(
        StepFailure{"get_CoreWebView2", E_FAIL, "WebView2 controller callback: 0x00000000\n"},
        StepFailure{"AddWebResourceRequestedFilter", E_ACCESSDENIED,
                    "WebView2 controller callback: 0x00000000\n"},
        StepFailure{"add_WebResourceRequested", E_ACCESSDENIED,
                    "WebView2 controller callback: 0x00000000\n"},
        StepFailure{"get_Settings", E_FAIL, "WebView2 settings unavailable\n"},
        StepFailure{"add_WebMessageReceived", E_FAIL, "WebView2 message handler failed\n"},
        StepFailure{"add_PermissionRequested", E_FAIL, "WebView2 permission handler failed\n"}),
    [](const auto& info) { return std::string(info.param.call); });

TEST_F(BrowserTest, ControllerRequestLineNamesTheHostWindow) {
  runtime.log.failures["CreateCoreWebView2Controller"] = E_ACCESSDENIED;
  Create();
  ::testing::internal::CaptureStderr();
  runtime.CompleteEnvironment();
  char expected[128];
  std::snprintf(expected, sizeof(expected),
                "WebView2 controller request failed: 0x80070005, hwnd=%p\n",
                static_cast<void*>(browser->Window()));
  EXPECT_TRUE(::testing::internal::GetCapturedStderr().ends_with(expected));
}

TEST_F(BrowserTest, NavigationAndNewWindowHandlersAreOptional) {
  // Their registration results are ignored: the page still loads without them.
  runtime.log.failures["add_NavigationStarting"] = E_FAIL;
  runtime.log.failures["add_NewWindowRequested"] = E_FAIL;
  BringUp();
  EXPECT_EQ(readyWith.size(), 1u);
}

TEST_F(BrowserTest, RefusedEnvironmentRequestGivesNoBrowser) {
  runtime.requestResult = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);  // no runtime installed
  ::testing::internal::CaptureStderr();
  Create();
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "WebView2 environment request failed: 0x80070002\n");
  EXPECT_FALSE(browser);
}

TEST_F(BrowserTest, FailedOrEmptyEnvironmentAsksForNoController) {
  Create();
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(runtime.CompleteEnvironment(E_ABORT), E_FAIL);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "WebView2 environment callback: 0x80004004\n"
            "WebView2 environment failed: 0x80004004\n");
  EXPECT_EQ(runtime.CompleteEnvironment(S_OK, false), E_FAIL);
  EXPECT_FALSE(runtime.environment->controllerHandler);
  EXPECT_EQ(runtime.environment->refs, 1u);  // not kept either time
}

TEST_F(BrowserTest, FailedOrEmptyControllerLeavesTheBrowserBlank) {
  Create();
  runtime.CompleteEnvironment();
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(runtime.CompleteController(E_UNEXPECTED), E_FAIL);
  EXPECT_EQ(runtime.CompleteController(S_OK, false), E_FAIL);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "WebView2 controller callback: 0x8000ffff\n"
            "WebView2 controller failed: 0x8000ffff\n"
            "WebView2 controller callback: 0x00000000\n"
            "WebView2 controller failed: 0x00000000\n");
  EXPECT_TRUE(readyWith.empty());
  browser.reset();
  EXPECT_EQ(runtime.controller().closed, 0);  // never kept, never closed
}

TEST_F(BrowserTest, ProfileFolderFromTheEnvironmentOnlyWhenItFits) {
  const std::wstring fits(259, L'p');
  const std::wstring tooLong(260, L'q');
  SetEnvironmentVariableW(L"TAVRENA_WEBVIEW_PROFILE", fits.c_str());
  Create();
  EXPECT_EQ(runtime.userDataFolder, std::optional<std::wstring>(fits));
  EXPECT_EQ(std::wstring(browser->UserDataFolder()), fits);

  SetEnvironmentVariableW(L"TAVRENA_WEBVIEW_PROFILE", tooLong.c_str());
  Create();
  ASSERT_TRUE(runtime.userDataFolder);
  EXPECT_TRUE(runtime.userDataFolder->ends_with(L"\\Veltmark\\Tavrena\\WebView2"))
      << runtime.userDataFolder->size();
  EXPECT_EQ(runtime.userDataFolder->find(L'q'), std::wstring::npos);

  SetEnvironmentVariableW(L"TAVRENA_WEBVIEW_PROFILE", L"relative\\profile");
  Create();
  EXPECT_EQ(runtime.userDataFolder, std::optional<std::wstring>(L"relative\\profile"));
  SetEnvironmentVariableW(L"TAVRENA_WEBVIEW_PROFILE", nullptr);
}

TEST_F(BrowserTest, ShutdownClosesTheControllerAndDestroysTheWindowOnce) {
  BringUp();
  const HWND window = browser->Window();
  browser->Shutdown();
  EXPECT_EQ(runtime.controller().closed, 1);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(browser->NativeWindow(), nullptr);
  browser->LoadUrl("https://tavrena.invalid/index.html");
  EXPECT_TRUE(runtime.webview().navigated.empty());
  browser.reset();
  EXPECT_EQ(runtime.controller().closed, 1);
}

TEST_F(BrowserTest, DestructionReleasesEveryRuntimeObject) {
  BringUp();
  browser->ExposeFunction("tavrenaRead",
                          [](auto*, auto, const auto&, const auto&) { return vstwebview::Json(); });
  const HWND window = browser->Window();
  browser.reset();
  EXPECT_EQ(runtime.controller().closed, 1);
  EXPECT_FALSE(IsWindow(window));
  // Only the fake runtime's own references are left.
  EXPECT_EQ(runtime.environment->refs, 1u);
  EXPECT_EQ(runtime.controller().refs, 1u);
  EXPECT_EQ(runtime.webview().refs, 1u);
  EXPECT_EQ(runtime.webview().settings->refs, 1u);
}

TEST_F(BrowserTest, LateCallbacksAfterShutdownOrDestructionTouchNothing) {
  Create();
  browser->Shutdown();
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(runtime.CompleteEnvironment(), S_OK);
  EXPECT_FALSE(runtime.environment->controllerHandler);  // no controller asked for

  browser.reset();
  Create();
  runtime.CompleteEnvironment();
  browser.reset();
  const auto callsBefore = runtime.log.calls.size();
  EXPECT_EQ(runtime.CompleteController(), S_OK);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "WebView2 environment callback: 0x00000000\n");  // the second browser's only
  EXPECT_EQ(runtime.log.calls.size(), callsBefore);          // get_CoreWebView2 never called
  EXPECT_TRUE(readyWith.empty());
}

TEST_F(BrowserTest, LateEventsAfterShutdownOrDestructionAreAnsweredWithSuccessOnly) {
  BringUp();
  int calls = 0;
  browser->ExposeFunction("tavrenaRead", [&](auto*, auto, const auto&, const auto&) {
    ++calls;
    return vstwebview::Json(true);
  });
  FakeWebView& webview = runtime.webview();
  // Shut down, the browser still exists with its functions bound; destroyed, it does not.
  for (const bool destroyed : {false, true}) {
    if (destroyed) {
      browser.reset();
    } else {
      browser->Shutdown();
    }
    auto message = MakeFake<FakeMessageArgs>();
    message->message = L"{\"id\":1,\"method\":\"tavrenaRead\",\"params\":[]}";
    EXPECT_EQ(webview.webMessageReceived->Invoke(&webview, message.Get()), S_OK);

    auto resource = MakeFake<FakeResourceArgs>();
    resource->request->uri = L"https://tavrena.invalid/index.html";
    EXPECT_EQ(webview.webResourceRequested->Invoke(&webview, resource.Get()), S_OK);
    EXPECT_FALSE(resource->response);

    auto permission = MakeFake<FakePermissionArgs>();
    permission->kind = COREWEBVIEW2_PERMISSION_KIND_CLIPBOARD_READ;
    EXPECT_EQ(webview.permissionRequested->Invoke(&webview, permission.Get()), S_OK);
    EXPECT_EQ(permission->state, COREWEBVIEW2_PERMISSION_STATE_DEFAULT);
  }
  EXPECT_EQ(calls, 0);
  EXPECT_TRUE(webview.executed.empty());
}

TEST_F(BrowserTest, ReadyCallbackThatShutsTheBrowserDownEndsTheSequenceQuietly) {
  onReady = [](vstwebview::Webview* webview) { webview->Shutdown(); };
  Create();
  runtime.CompleteEnvironment();
  const auto boundsBefore = runtime.controller().bounds.size();
  EXPECT_EQ(runtime.CompleteController(), S_OK);
  EXPECT_EQ(readyWith.size(), 1u);
  EXPECT_EQ(runtime.controller().bounds.size(), boundsBefore);  // not fitted afterwards
  EXPECT_EQ(runtime.controller().closed, 1);
}

TEST_F(BrowserTest, HostFrameDestroyedFirstLeavesNoStaleWindow) {
  BringUp();
  DestroyWindow(frame);  // destroys the child with it
  frame = nullptr;
  EXPECT_EQ(browser->NativeWindow(), nullptr);
  browser->ResizeWindow(400, 300, vstwebview::ResizeMode::Free);  // nothing to size
  browser.reset();
  EXPECT_EQ(runtime.controller().closed, 1);
}

}  // namespace
}  // namespace tavrena::testing
