// What the page meets in the WebView2 browser, against the fake runtime: the script bridge
// over web messages and executed scripts, navigation kept inside the private origin, windows
// refused, the clipboard permission, and every request under the origin answered from the
// module's resources.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "browser_fixture.h"
#include "vstwebview/webview.h"

namespace tavrena::testing {
namespace {

using vstwebview::Json;

std::string PageFile(const char* name) {
  std::ifstream in(std::filesystem::path(TAVRENA_RESOURCE_DIR) / name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class PageTest : public BrowserTest {
 protected:
  void SetUp() override {
    BrowserTest::SetUp();
    BringUp();
  }

  HRESULT Post(const std::wstring& text) {
    auto args = MakeFake<FakeMessageArgs>();
    args->message = text;
    return runtime.webview().webMessageReceived->Invoke(&runtime.webview(), args.Get());
  }

  bool Navigates(const std::optional<std::wstring>& uri, HRESULT uriResult = S_OK) {
    auto args = MakeFake<FakeNavigationArgs>();
    args->uri = uri;
    args->uriResult = uriResult;
    EXPECT_EQ(runtime.webview().navigationStarting->Invoke(&runtime.webview(), args.Get()), S_OK);
    return !args->cancel;
  }

  ComRef<FakeResourceArgs> Request(const std::optional<std::wstring>& uri,
                                   HRESULT expected = S_OK) {
    auto args = MakeFake<FakeResourceArgs>();
    args->request->uri = uri;
    EXPECT_EQ(runtime.webview().webResourceRequested->Invoke(&runtime.webview(), args.Get()),
              expected);
    return args;
  }
};

TEST_F(PageTest, BoundFunctionAnswersThroughAnExecutedReplyScript) {
  std::vector<Json> received;
  browser->ExposeFunction("tavrenaRead", [&](vstwebview::Webview* webview, std::int32_t seq,
                                             const std::string& name, const Json& params) {
    EXPECT_EQ(webview, browser.get());
    EXPECT_EQ(name, "tavrenaRead");
    received.push_back(params);
    return Json{{"seq", seq}, {"status", "Соло сгенерировано"}};
  });
  FakeWebView& webview = runtime.webview();
  ASSERT_EQ(webview.documentScripts.size(), 2u);
  const std::string script = vstwebview::ExposeScript("tavrenaRead");
  EXPECT_EQ(webview.documentScripts[1], std::wstring(script.begin(), script.end()));
  EXPECT_TRUE(webview.executed.empty());  // not run in the current document

  // Non-ASCII text crosses UTF-16 -> UTF-8 -> UTF-16 intact, both ways.
  EXPECT_EQ(Post(L"{\"id\":3,\"method\":\"tavrenaRead\",\"params\":[\"Am7 \u2192 D7\"]}"), S_OK);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0], Json::array({"Am7 \u2192 D7"}));
  ASSERT_EQ(webview.executed.size(), 1u);
  EXPECT_EQ(webview.executed[0],
            L"window._rpc[3].resolve({\"seq\":3,\"status\":\"Соло сгенерировано\"}); "
            L"delete window._rpc[3]");

  EXPECT_EQ(Post(L"{\"id\":4,\"method\":7,\"params\":[]}"), S_OK);
  ASSERT_EQ(webview.executed.size(), 2u);
  EXPECT_EQ(webview.executed[1],
            L"window._rpc[4].reject(\"Invalid native request\"); delete window._rpc[4]");
}

TEST_F(PageTest, MessagesThatAreNoRequestGetNoReply) {
  int calls = 0;
  browser->ExposeFunction("tavrenaRead", [&](auto*, auto, const auto&, const auto&) {
    ++calls;
    return Json(true);
  });
  FakeWebView& webview = runtime.webview();
  auto object = MakeFake<FakeMessageArgs>();
  object->isString = false;  // the page posted an object
  EXPECT_EQ(webview.webMessageReceived->Invoke(&webview, object.Get()), S_OK);
  auto null = MakeFake<FakeMessageArgs>();  // a string call that gives no string
  EXPECT_EQ(webview.webMessageReceived->Invoke(&webview, null.Get()), S_OK);
  EXPECT_EQ(Post(L"not json"), S_OK);
  EXPECT_EQ(Post(L"{\"id\":9,\"method\":\"tavrenaWrite\",\"params\":[]}"), S_OK);  // unbound
  EXPECT_EQ(calls, 0);
  EXPECT_TRUE(webview.executed.empty());
}

TEST_F(PageTest, ScriptResultsReachTheCallbackOnlyWhenTheyAreJson) {
  std::vector<Json> results;
  const auto record = [&](const Json& value) { results.push_back(value); };
  browser->EvalJS("document.title", record);
  browser->EvalJS("1+1", record);
  browser->EvalJS("broken(", record);
  FakeWebView& webview = runtime.webview();
  ASSERT_EQ(webview.executeHandlers.size(), 3u);
  EXPECT_EQ(webview.executed[0], L"document.title");
  EXPECT_EQ(webview.executeHandlers[0]->Invoke(S_OK, L"\"Tavrena \u00e9\""), S_OK);
  EXPECT_EQ(webview.executeHandlers[1]->Invoke(S_OK, L"undefined"), S_OK);  // not JSON
  EXPECT_EQ(webview.executeHandlers[2]->Invoke(E_FAIL, L"null"), S_OK);
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(results[0], Json("Tavrena \u00e9"));

  // A result arriving after the browser is gone still finds its callback.
  browser.reset();
  EXPECT_EQ(webview.executeHandlers[1]->Invoke(S_OK, L"[2]"), S_OK);
  EXPECT_EQ(results.back(), Json::array({2}));
}

TEST_F(PageTest, UnbindingRemovesTheFunctionFromThisAndLaterDocuments) {
  browser->ExposeFunction("tavrenaCancel",
                          [](auto*, auto, const auto&, const auto&) { return Json(); });
  browser->UnbindFunction("tavrenaCancel");
  FakeWebView& webview = runtime.webview();
  EXPECT_EQ(webview.documentScripts.back(), L"delete window['tavrenaCancel'];");
  EXPECT_EQ(webview.executed, std::vector<std::wstring>{L"delete window['tavrenaCancel'];"});
  EXPECT_FALSE(browser->IsBound("tavrenaCancel"));
}

TEST_F(PageTest, LoadUrlNavigatesTheControl) {
  browser->LoadUrl("https://tavrena.invalid/index.html?lang=ру");
  EXPECT_EQ(runtime.webview().navigated,
            std::vector<std::wstring>{L"https://tavrena.invalid/index.html?lang=ру"});
}

TEST_F(PageTest, NavigationStaysInsideThePrivateOrigin) {
  EXPECT_TRUE(Navigates(L"https://tavrena.invalid/index.html"));
  EXPECT_TRUE(Navigates(L"https://tavrena.invalid/"));
  EXPECT_FALSE(Navigates(L"https://tavrena.invalid"));  // one character short
  EXPECT_FALSE(Navigates(L"http://tavrena.invalid/index.html"));
  EXPECT_FALSE(Navigates(L"https://TAVRENA.invalid/index.html"));
  EXPECT_FALSE(Navigates(L"https://tavrena.invalid.example.com/"));
  EXPECT_FALSE(Navigates(L"https://example.com/?https://tavrena.invalid/"));
  EXPECT_FALSE(Navigates(L"about:blank"));
  EXPECT_FALSE(Navigates(std::nullopt));                    // no address counts as empty
  EXPECT_TRUE(Navigates(L"https://example.com/", E_FAIL));  // unreadable: left alone
}

TEST_F(PageTest, NewWindowsAreRefused) {
  auto args = MakeFake<FakeNewWindowArgs>();
  FakeWebView& webview = runtime.webview();
  EXPECT_EQ(webview.newWindowRequested->Invoke(&webview, args.Get()), S_OK);
  EXPECT_TRUE(args->handled);
}

TEST_F(PageTest, OnlyClipboardReadingIsAllowed) {
  FakeWebView& webview = runtime.webview();
  for (const auto kind :
       {COREWEBVIEW2_PERMISSION_KIND_CLIPBOARD_READ, COREWEBVIEW2_PERMISSION_KIND_CAMERA,
        COREWEBVIEW2_PERMISSION_KIND_MICROPHONE, COREWEBVIEW2_PERMISSION_KIND_GEOLOCATION}) {
    auto args = MakeFake<FakePermissionArgs>();
    args->kind = kind;
    EXPECT_EQ(webview.permissionRequested->Invoke(&webview, args.Get()), S_OK);
    EXPECT_EQ(args->state, kind == COREWEBVIEW2_PERMISSION_KIND_CLIPBOARD_READ
                               ? COREWEBVIEW2_PERMISSION_STATE_ALLOW
                               : COREWEBVIEW2_PERMISSION_STATE_DEFAULT);
  }
}

// One request under the origin: status, reason, content type and the page file it serves.
struct Served {
  const wchar_t* path;
  int status;
  const wchar_t* reason;
  const wchar_t* contentType;
  const char* file;  // the page file in resources/ the body must equal; null: no body
};

class ResourceRequest : public PageTest, public ::testing::WithParamInterface<Served> {};

TEST_P(ResourceRequest, IsAnsweredFromTheModule) {
  const Served& expected = GetParam();
  const auto args = Request(std::wstring(L"https://tavrena.invalid/") + expected.path);
  ASSERT_TRUE(args->response);
  EXPECT_EQ(args->response->status, expected.status);
  EXPECT_EQ(args->response->reason, expected.reason);
  EXPECT_EQ(args->response->headers, std::wstring(L"Content-Type: ") + expected.contentType +
                                         L"\r\nCache-Control: no-store\r\n");
  if (expected.file) {
    ASSERT_TRUE(args->response->body);
    const std::string file = PageFile(expected.file);
    ASSERT_FALSE(file.empty());
    EXPECT_EQ(*args->response->body, file);
  } else {
    EXPECT_FALSE(args->response->body);
  }
}

INSTANTIATE_TEST_SUITE_P(
    EdgeBrowser, ResourceRequest,
    ::testing::Values(
        Served{L"", 200, L"OK", L"text/html; charset=utf-8", "index.html"},
        Served{L"?x=1", 200, L"OK", L"text/html; charset=utf-8", "index.html"},
        Served{L"App.Js#top", 200, L"OK", L"application/javascript; charset=utf-8", "app.js"},
        Served{L"i18n.js", 200, L"OK", L"application/javascript; charset=utf-8", "i18n.js"},
        Served{L"style.css?v=2", 200, L"OK", L"text/css; charset=utf-8", "style.css"},
        Served{L"tavrena-logo.png", 200, L"OK", L"image/png", "tavrena-logo.png"},
        Served{L"logo.png", 200, L"OK", L"image/png", "logo.png"},
        Served{L"img/logo.png", 404, L"Not Found", L"image/png", nullptr},
        Served{L"..\\logo.png", 404, L"Not Found", L"image/png", nullptr},
        Served{L"readme", 404, L"Not Found", L"application/octet-stream", nullptr},
        Served{L"missing.svg", 404, L"Not Found", L"image/svg+xml", nullptr}),
    [](const auto& info) {
      std::string name = "path" + std::to_string(info.index) + "_";
      for (const wchar_t* c = info.param.path; *c; ++c)
        name += (*c < 128 && std::isalnum(static_cast<int>(*c))) ? static_cast<char>(*c) : '_';
      return name;
    });

TEST_F(PageTest, RequestsForOtherOriginsAreNotIntercepted) {
  for (const std::optional<std::wstring>& uri :
       {std::optional<std::wstring>(L"https://example.com/app.js"),
        std::optional<std::wstring>(L"http://tavrena.invalid/app.js"),
        std::optional<std::wstring>(L"https://tavrena.invalid"), std::optional<std::wstring>()}) {
    const auto args = Request(uri);
    EXPECT_FALSE(args->response);
  }
  EXPECT_EQ(
      std::count(runtime.log.calls.begin(), runtime.log.calls.end(), "CreateWebResourceResponse"),
      0);
}

TEST_F(PageTest, ResponseTheRuntimeCannotBuildIsReportedToIt) {
  runtime.log.failures["CreateWebResourceResponse"] = E_OUTOFMEMORY;
  const auto args = Request(L"https://tavrena.invalid/index.html", E_OUTOFMEMORY);
  EXPECT_FALSE(args->response);
}

}  // namespace
}  // namespace tavrena::testing
