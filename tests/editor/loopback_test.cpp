// The loopback browser host over real HTTP on 127.0.0.1: the token and Host checks,
// resources with their headers, the bridge placed ahead of the page's scripts, and
// requests travelling page -> bridge -> reply script, in the page's order.
#include <gtest/gtest.h>
#include <httplib.h>

#include <map>
#include <regex>
#include <thread>

#include "ui_loop.h"
#include "vstwebview/webview_loopback.h"

namespace tavrena {
namespace {

using vstwebview::Json;

const std::map<std::string, std::string, std::less<>> kPage = {
    {"TAVRENA_INDEX_HTML",
     "<!DOCTYPE html><html><HEAD lang=\"en\"><title>t</title>"
     "<script src=\"app.js\"></script></HEAD><body></body></html>"},
    {"TAVRENA_APP_JS", "var app = 1;\n"},
};

class LoopbackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    webview = std::make_unique<vstwebview::WebviewLoopback>(
        [](std::string_view name) -> std::optional<std::string> {
          const auto found = kPage.find(name);
          if (found == kPage.end()) return std::nullopt;
          return found->second;
        },
        [this](std::function<void()> task) { ui.post(std::move(task)); });
    webview->ExposeFunction("echo", [this](vstwebview::Webview*, std::int32_t seq,
                                           const std::string&, const Json& params) {
      calls.push_back(seq);
      return params;
    });
    std::string error;
    ASSERT_TRUE(webview->Start(0, &error)) << error;
    uiThread = std::thread([this] { ui.run({}); });
    client = std::make_unique<httplib::Client>("127.0.0.1", webview->Port());
    prefix = webview->Origin().substr(webview->Origin().find('/', 7));
  }

  void TearDown() override {
    webview->Shutdown();
    ui.quit();
    uiThread.join();
  }

  // Serves the page and returns its document's bridge folder ("<prefix>_bridge/N/").
  std::string openDocument() {
    const auto page = client->Get(prefix + "index.html");
    EXPECT_TRUE(page && page->status == 200);
    std::smatch match;
    if (!page || !std::regex_search(page->body, match, std::regex("_bridge/([0-9]+)/client\\.js")))
      return {};
    return prefix + "_bridge/" + match[1].str() + "/";
  }

  editor::UiLoop ui;
  std::thread uiThread;
  std::unique_ptr<vstwebview::WebviewLoopback> webview;
  std::unique_ptr<httplib::Client> client;
  std::string prefix;      // "/<token>/"
  std::vector<int> calls;  // on the user-interface thread
};

TEST_F(LoopbackTest, OnlyTokenedLoopbackRequestsAreServed) {
  EXPECT_EQ(prefix.size(), 34u) << "a 128-bit token in hexadecimal";
  EXPECT_EQ(webview->PageUrl(), webview->Origin() + "index.html");
  EXPECT_EQ(webview->ContentRootUrl() + "/", webview->Origin());

  for (const std::string& path :
       std::vector<std::string>{"/index.html", "/", "/0123/index.html", prefix.substr(0, 33)}) {
    const auto response = client->Get(path);
    ASSERT_TRUE(response) << path;
    EXPECT_EQ(response->status, 404) << path;
    EXPECT_EQ(response->get_header_value("Cache-Control"), "no-store");
  }
  // A page of another site reaching the port through a rebound name.
  const auto rebound = client->Get(prefix + "index.html", {{"Host", "attacker.example"}});
  ASSERT_TRUE(rebound);
  EXPECT_EQ(rebound->status, 403);
  // A post from another origin.
  const auto foreign = client->Post(prefix + "_bridge/1/invoke?n=1",
                                    {{"Origin", "http://attacker.example"}}, "{}", "text/plain");
  ASSERT_TRUE(foreign);
  EXPECT_EQ(foreign->status, 403);
}

TEST_F(LoopbackTest, ResourcesCarryTheirTypesAndNoStore) {
  const auto script = client->Get(prefix + "App.Js?v=2");
  ASSERT_TRUE(script);
  EXPECT_EQ(script->status, 200);
  EXPECT_EQ(script->body, kPage.at("TAVRENA_APP_JS"));
  EXPECT_EQ(script->get_header_value("Content-Type"), "application/javascript; charset=utf-8");
  EXPECT_EQ(script->get_header_value("Cache-Control"), "no-store");

  const auto inFolder = client->Get(prefix + "img/logo.png");
  ASSERT_TRUE(inFolder);
  EXPECT_EQ(inFolder->status, 404);
  EXPECT_EQ(inFolder->get_header_value("Content-Type"), "image/png");
  EXPECT_TRUE(inFolder->body.empty());

  const auto page = client->Get(prefix + "?x=1");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_EQ(page->get_header_value("Content-Type"), "text/html; charset=utf-8");
  // The bridge comes first in the head, ahead of the page's own script.
  const std::size_t head = page->body.find("<HEAD lang=\"en\">");
  const std::size_t client = page->body.find("client.js");
  const std::size_t exposed = page->body.find("/doc/0.js");
  ASSERT_NE(client, std::string::npos);
  EXPECT_LT(head, client);
  EXPECT_LT(client, exposed);
  EXPECT_LT(exposed, page->body.find("src=\"app.js\""));
  EXPECT_EQ(page->body.find("/doc/1.js"), std::string::npos) << "one function was bound";
}

TEST_F(LoopbackTest, RequestsReachTheBridgeInThePagesOrderAndRepliesComeBackAsScripts) {
  const std::string bridge = openDocument();
  ASSERT_FALSE(bridge.empty());
  const auto exposed = client->Get(bridge + "doc/0.js");
  ASSERT_TRUE(exposed);
  EXPECT_EQ(exposed->body, vstwebview::ExposeScript("echo"));
  EXPECT_EQ(client->Get(bridge + "doc/1.js")->status, 404);
  EXPECT_EQ(client->Get(bridge + "client.js")->status, 200);

  // The second request overtakes the first on the wire; the bridge still sees 1 then 2.
  const auto second = client->Post(bridge + "invoke?n=2",
                                   R"({"id":8,"method":"echo","params":["b"]})", "text/plain");
  const auto first = client->Post(bridge + "invoke?n=1",
                                  R"({"id":7,"method":"echo","params":["a"]})", "text/plain");
  ASSERT_TRUE(first && second);
  EXPECT_EQ(first->status, 204);

  // The page's waiting script element receives the replies one by one, in order.
  const auto reply = client->Get(bridge + "next.js?n=1");
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->body, R"(window._rpc[7].resolve(["a"]); delete window._rpc[7])");
  EXPECT_EQ(reply->get_header_value("Content-Type"), "application/javascript; charset=utf-8");
  EXPECT_EQ(client->Get(bridge + "next.js?n=1")->body, reply->body) << "kept until the next";
  EXPECT_EQ(client->Get(bridge + "next.js?n=2")->body,
            R"(window._rpc[8].resolve(["b"]); delete window._rpc[8])");
  EXPECT_EQ(calls, (std::vector<int>{7, 8}));
  EXPECT_EQ(client->Get(bridge + "next.js?n=1")->status, 404) << "asking for 2 said 1 has run";

  // Another document's requests and unknown documents are kept apart.
  EXPECT_EQ(client->Post(prefix + "_bridge/999/invoke?n=1", "{}", "text/plain")->status, 404);
  EXPECT_EQ(client->Get(prefix + "_bridge/999/client.js")->status, 404);
}

}  // namespace
}  // namespace tavrena
