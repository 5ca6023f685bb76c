// The script bridge against a recording web view: the page-side script, the request
// parsing rules and the reply scripts.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "recording_webview.h"

namespace tavrena {
namespace {

using testing::RecordingWebview;
using vstwebview::Json;

// Written out independently of the implementation, as the page receives it.
constexpr char kExpectedReadScript[] = R"((function() { var name = 'tavrenaRead';
     var RPC = window._rpc = (window._rpc || {nextSeq: 1});
     window[name] = function() {
       var seq = RPC.nextSeq++;
       var promise = new Promise(function(resolve, reject) {
         RPC[seq] = {
           resolve: resolve,
           reject: reject,
         };
       });
       window.external.invoke(JSON.stringify({
         id: seq,
         method: name,
         params: Array.prototype.slice.call(arguments),
       }));
       return promise;
     }
   })())";

struct Call {
  std::int32_t seq = 0;
  std::string name;
  Json params;
};

class BridgeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    webview.ExposeFunction("tavrenaRead", [this](vstwebview::Webview* w, std::int32_t seq,
                                                 const std::string& name, const Json& params) {
      EXPECT_EQ(w, &webview);
      calls.push_back({seq, name, params});
      return result;
    });
  }

  RecordingWebview webview;
  std::vector<Call> calls;
  Json result = true;
};

TEST_F(BridgeTest, ExposeRegistersTheFixedScriptForLaterDocumentsOnly) {
  ASSERT_EQ(webview.documentScripts.size(), 1u);
  EXPECT_EQ(webview.documentScripts[0], kExpectedReadScript);
  EXPECT_EQ(webview.documentScripts[0].size(), std::string("(function() { var name = '").size() +
                                                   std::string("tavrenaRead").size() + 2 + 481);
  EXPECT_TRUE(webview.evaluated.empty()) << "the current document is not touched";
}

TEST_F(BridgeTest, RequestRunsTheFunctionAndResolvesWithAnExactScript) {
  EXPECT_EQ(webview.request(R"({"id":3,"method":"tavrenaRead","params":[]})"),
            std::vector<std::string>{"window._rpc[3].resolve(true); delete window._rpc[3]"});
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].seq, 3);
  EXPECT_EQ(calls[0].name, "tavrenaRead");
  EXPECT_EQ(calls[0].params, Json::array());
  EXPECT_EQ(webview.tasks, 1) << "the reply goes through RunTask";

  // Without "params" the function receives null; an undefined argument arrives as null.
  webview.request(R"({"id":5,"method":"tavrenaRead"})");
  webview.request(R"({"id":6,"method":"tavrenaRead","params":[null]})");
  EXPECT_TRUE(calls[1].params.is_null());
  EXPECT_EQ(calls[2].params, Json::array({nullptr}));

  // Results are compact, with non-ASCII text written as raw UTF-8.
  result = {{"status", "Готово"}, {"list", {1, 2.5}}};
  EXPECT_EQ(webview.request(R"({"id":7,"method":"tavrenaRead","params":[]})").at(0),
            "window._rpc[7].resolve({\"list\":[1,2.5],\"status\":\"Готово\"}); delete "
            "window._rpc[7]");
}

TEST_F(BridgeTest, IdsAreReadAsThirtyTwoBitIntegers) {
  webview.request(R"({"id":9.99,"method":"tavrenaRead","params":[]})");
  webview.request(R"({"id":true,"method":"tavrenaRead","params":[]})");
  webview.request(R"({"id":-4,"method":"tavrenaRead","params":[]})");
  webview.request(R"({"id":2147483647,"method":"tavrenaRead","params":[]})");
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[0].seq, 9);
  EXPECT_EQ(calls[1].seq, 1);
  EXPECT_EQ(calls[2].seq, -4);
  EXPECT_EQ(calls[3].seq, 2147483647);

  // An id that names no call of the page gets no reply at all.
  for (const char* text : {R"({"id":"5","method":"tavrenaRead","params":[]})",
                           R"({"id":null,"method":"tavrenaRead","params":[]})",
                           R"({"id":2147483648,"method":"tavrenaRead","params":[]})",
                           R"({"id":-1e300,"method":"tavrenaRead","params":[]})"}) {
    EXPECT_TRUE(webview.request(text).empty()) << text;
  }
  EXPECT_EQ(calls.size(), 4u);
}

TEST_F(BridgeTest, UnusableRequestsGetNoReply) {
  for (const char* text : {"", "not json", R"({"method":"tavrenaRead","params":[]})",
                           R"([1,"tavrenaRead",[]])", R"({"id":1,"method":"tavrenaRead"} x)",
                           R"({"id":1,"method":"unknownFunction","params":[]})"}) {
    EXPECT_TRUE(webview.request(text).empty()) << text;
  }
  // Nesting deep enough to exhaust a stack is refused before it is walked.
  EXPECT_TRUE(webview.request(std::string(200000, '[')).empty());
  EXPECT_TRUE(calls.empty());
}

TEST_F(BridgeTest, FailuresAfterTheIdRejectWithTheGenericMessage) {
  const std::vector<std::string> rejected = {
      R"(window._rpc[5].reject("Invalid native request"); delete window._rpc[5])"};
  EXPECT_EQ(webview.request(R"({"id":5,"method":7,"params":[]})"), rejected);
  EXPECT_EQ(webview.request(R"({"id":5,"params":[]})"), rejected);

  webview.ExposeFunction("tavrenaFail", [](auto*, auto, auto&, auto&) -> Json {
    throw std::runtime_error("inner detail never reaches the page");
  });
  EXPECT_EQ(webview.request(R"({"id":5,"method":"tavrenaFail","params":[]})"), rejected);

  // A result that cannot be serialised (invalid UTF-8) is rejected, not half sent.
  result = std::string("\xff\xfe");
  EXPECT_EQ(webview.request(R"({"id":5,"method":"tavrenaRead","params":[]})"), rejected);
}

// A modal loop inside a function (the save dialog, a drag) lets the host close the editor:
// the browser is destroyed before the function returns or throws, and must not be touched.
TEST(BridgeLifetime, ABrowserDestroyedByItsOwnFunctionIsLeftAlone) {
  for (const bool throws : {false, true}) {
    auto webview = std::make_unique<RecordingWebview>();
    webview->ExposeFunction("tavrenaExport", [&](auto*, auto, auto&, auto&) -> Json {
      webview.reset();  // the host removed the view meanwhile
      if (throws) throw std::runtime_error("the dialog failed");
      return true;
    });
    RecordingWebview* raw = webview.get();
    raw->HandleNativeRequest(R"({"id":1,"method":"tavrenaExport","params":[]})");
    EXPECT_EQ(webview, nullptr);
  }
}

TEST_F(BridgeTest, RebindingReplacesTheFunctionAndUnbindingRemovesIt) {
  int second = 0;
  webview.ExposeFunction("tavrenaRead", [&second](auto*, auto, auto&, auto&) -> Json {
    ++second;
    return 2;
  });
  EXPECT_EQ(webview.documentScripts.size(), 2u);
  EXPECT_EQ(webview.documentScripts[1], webview.documentScripts[0]);
  EXPECT_EQ(webview.request(R"({"id":1,"method":"tavrenaRead","params":[]})").at(0),
            "window._rpc[1].resolve(2); delete window._rpc[1]");
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(second, 1);

  webview.UnbindFunction("neverBound");
  EXPECT_EQ(webview.documentScripts.size(), 2u);
  EXPECT_TRUE(webview.evaluated.size() == 1u);

  webview.UnbindFunction("tavrenaRead");
  EXPECT_EQ(webview.documentScripts.back(), "delete window['tavrenaRead'];");
  EXPECT_EQ(webview.evaluated.back(), "delete window['tavrenaRead'];");
  EXPECT_FALSE(webview.IsBound("tavrenaRead"));
  EXPECT_TRUE(webview.request(R"({"id":2,"method":"tavrenaRead","params":[]})").empty());
}

}  // namespace
}  // namespace tavrena
