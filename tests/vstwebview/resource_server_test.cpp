// The server behind the editor page's private origin, with a lookup the test controls: which
// URIs it answers, which resource each path names, and the exact status, headers and body.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "vstwebview/resource_server.h"

namespace vstwebview {
namespace {

const std::string kOrigin = "https://tavrena.invalid/";

struct Served {
  ResourceResponse response;
  std::vector<std::string> asked;  // every name the lookup was asked for
};

Served serve(const std::string& uri) {
  // TAVRENA_IMG_LOGO_PNG exists, yet a sub-folder path must never reach the lookup.
  const std::map<std::string, std::string, std::less<>> files = {
      {"TAVRENA_INDEX_HTML", "<!DOCTYPE html>"},
      {"TAVRENA_APP_JS", "main();"},
      {"TAVRENA_IMG_LOGO_PNG", "sub-folder"}};
  Served served;
  const ResourceServer server(kOrigin, [&](std::string_view name) -> std::optional<std::string> {
    served.asked.emplace_back(name);
    const auto it = files.find(name);
    return it == files.end() ? std::nullopt : std::optional(it->second);
  });
  served.response = server.Serve(uri);
  return served;
}

std::string headersFor(const std::string& type) {
  return "Content-Type: " + type + "\r\nCache-Control: no-store\r\n";
}

TEST(ResourceServer, ServesByUpperCasedPathWithoutQueryOrFragment) {
  const std::string html = "text/html; charset=utf-8";
  const std::string js = "application/javascript; charset=utf-8";
  // {path after the origin, name looked up, content type, body}
  const std::tuple<std::string, std::string, std::string, std::string> rows[] = {
      {"", "TAVRENA_INDEX_HTML", html, "<!DOCTYPE html>"},
      {"?x=1", "TAVRENA_INDEX_HTML", html, "<!DOCTYPE html>"},
      {"#a?b", "TAVRENA_INDEX_HTML", html, "<!DOCTYPE html>"},
      {"App.Js#top", "TAVRENA_APP_JS", js, "main();"},
      {"app.js?v=2#x", "TAVRENA_APP_JS", js, "main();"},
  };
  for (const auto& [path, name, type, body] : rows) {
    const Served served = serve(kOrigin + path);
    EXPECT_TRUE(served.response.handled) << path;
    EXPECT_EQ(served.response.status, 200) << path;
    EXPECT_EQ(served.response.reason, "OK") << path;
    EXPECT_EQ(served.response.headers, headersFor(type)) << path;
    EXPECT_EQ(served.response.body, body) << path;
    EXPECT_EQ(served.asked, std::vector<std::string>{name}) << path;
  }
}

TEST(ResourceServer, AnswersNotFoundWithThePathsContentTypeAndNoBody) {
  // {path after the origin, content type, whether the lookup is asked at all}
  const std::tuple<std::string, std::string, bool> rows[] = {
      {"readme", "application/octet-stream", true},
      {"missing.svg", "image/svg+xml", true},
      {"app.js.map", "application/octet-stream", true},
      {"img/logo.png", "image/png", false},
      {"img\\logo.png", "image/png", false},
      {"../notice.txt", "text/plain; charset=utf-8", false},
  };
  for (const auto& [path, type, lookedUp] : rows) {
    const Served served = serve(kOrigin + path);
    EXPECT_TRUE(served.response.handled) << path;
    EXPECT_EQ(served.response.status, 404) << path;
    EXPECT_EQ(served.response.reason, "Not Found") << path;
    EXPECT_EQ(served.response.headers, headersFor(type)) << path;
    EXPECT_EQ(served.response.body, "") << path;
    EXPECT_EQ(served.asked.size(), lookedUp ? 1u : 0u) << path;
  }
}

TEST(ResourceServer, LeavesEveryOtherOriginToTheBrowser) {
  for (const std::string uri : {"https://example.com/", "http://tavrena.invalid/index.html",
                                "HTTPS://TAVRENA.INVALID/index.html", "https://tavrena.invalid",
                                "https://tavrena.invalidx/", ""}) {
    const Served served = serve(uri);
    EXPECT_FALSE(served.response.handled) << uri;
    EXPECT_EQ(served.response.headers, "") << uri;
    EXPECT_TRUE(served.asked.empty()) << uri;
  }
}

TEST(ResourceNameForPath, UpperCasesAndReplacesOneUnderscorePerUtf16Unit) {
  const std::pair<const char*, const char*> rows[] = {
      {"index.html", "TAVRENA_INDEX_HTML"},
      {"tavrena-logo.png", "TAVRENA_TAVRENA_LOGO_PNG"},
      {"i18n.js", "TAVRENA_I18N_JS"},
      {"Mixed_Case 09.Txt", "TAVRENA_MIXED_CASE_09_TXT"},
      {"\xC3\xA9.js", "TAVRENA___JS"},           // é: one UTF-16 unit from two bytes
      {"\xE2\x82\xAC", "TAVRENA__"},             // €: one unit from three bytes
      {"\xF0\x9D\x84\x9E.js", "TAVRENA____JS"},  // U+1D11E: a surrogate pair
  };
  for (const auto& [path, name] : rows) {
    EXPECT_EQ(ResourceNameForPath(path), name) << path;
  }
}

}  // namespace
}  // namespace vstwebview
