// The server behind the editor page's private origin, with a lookup the test controls: which
// URIs it answers, which resource each path names, and the exact status, headers and body.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "vstwebview/resource_server.h"

namespace vstwebview {
namespace {

constexpr const char* kOrigin = "https://tavrena.invalid/";

// Serves from a fixed map and records every name asked for.
struct FakeResources {
  std::map<std::string, std::string, std::less<>> files = {
      {"TAVRENA_INDEX_HTML", "<!DOCTYPE html>"},
      {"TAVRENA_APP_JS", "main();"},
      {"TAVRENA_STYLE_CSS", "body{}"},
      // Present, yet must never be reached: sub-folder paths are not looked up at all.
      {"TAVRENA_IMG_LOGO_PNG", "sub-folder"},
  };
  std::vector<std::string> asked;

  ResourceServer server() {
    return ResourceServer(kOrigin, [this](std::string_view name) -> std::optional<std::string> {
      asked.emplace_back(name);
      const auto it = files.find(name);
      if (it == files.end()) {
        return std::nullopt;
      }
      return it->second;
    });
  }
};

std::string headersFor(const std::string& type) {
  return "Content-Type: " + type + "\r\nCache-Control: no-store\r\n";
}

TEST(ResourceServer, ServesResourcesByUpperCasedPathWithoutQueryOrFragment) {
  struct Row {
    std::string uri;
    std::string name;
    std::string type;
    std::string body;
  };
  const Row rows[] = {
      {"", "TAVRENA_INDEX_HTML", "text/html; charset=utf-8", "<!DOCTYPE html>"},
      {"?x=1", "TAVRENA_INDEX_HTML", "text/html; charset=utf-8", "<!DOCTYPE html>"},
      {"#a?b", "TAVRENA_INDEX_HTML", "text/html; charset=utf-8", "<!DOCTYPE html>"},
      {"index.html", "TAVRENA_INDEX_HTML", "text/html; charset=utf-8", "<!DOCTYPE html>"},
      {"App.Js#top", "TAVRENA_APP_JS", "application/javascript; charset=utf-8", "main();"},
      {"style.css?v=2#x", "TAVRENA_STYLE_CSS", "text/css; charset=utf-8", "body{}"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.uri);
    FakeResources resources;
    const ResourceResponse response = resources.server().Serve(kOrigin + row.uri);
    EXPECT_TRUE(response.handled);
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.reason, "OK");
    EXPECT_EQ(response.contentType, row.type);
    EXPECT_EQ(response.headers, headersFor(row.type));
    EXPECT_EQ(response.body, row.body);
    EXPECT_EQ(resources.asked, std::vector<std::string>{row.name});
  }
}

TEST(ResourceServer, AnswersNotFoundWithThePathsContentTypeAndNoBody) {
  struct Row {
    std::string path;
    std::string type;
    bool lookedUp;
  };
  const Row rows[] = {
      {"readme", "application/octet-stream", true},
      {"missing.svg", "image/svg+xml", true},
      {"img/logo.png", "image/png", false},
      {"img\\logo.png", "image/png", false},
      {"/index.html", "text/html; charset=utf-8", false},
      {"../notice.txt", "text/plain; charset=utf-8", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    FakeResources resources;
    const ResourceResponse response = resources.server().Serve(kOrigin + row.path);
    EXPECT_TRUE(response.handled);
    EXPECT_EQ(response.status, 404);
    EXPECT_EQ(response.reason, "Not Found");
    EXPECT_EQ(response.headers, headersFor(row.type));
    EXPECT_EQ(response.body, "");
    EXPECT_EQ(resources.asked.size(), row.lookedUp ? 1u : 0u);
  }
}

TEST(ResourceServer, LeavesEveryOtherOriginToTheBrowser) {
  for (const std::string uri :
       {"https://example.com/index.html", "http://tavrena.invalid/index.html",
        "HTTPS://TAVRENA.INVALID/index.html", "https://tavrena.invalid",
        "https://tavrena.invalidx/", "", "about:blank"}) {
    SCOPED_TRACE(uri);
    FakeResources resources;
    const ResourceResponse response = resources.server().Serve(uri);
    EXPECT_FALSE(response.handled);
    EXPECT_EQ(response.status, 0);
    EXPECT_EQ(response.headers, "");
    EXPECT_TRUE(resources.asked.empty());
  }
}

TEST(ResourceServer, WithoutALookupEverythingUnderTheOriginIsNotFound) {
  const ResourceServer server(kOrigin, nullptr);
  EXPECT_EQ(server.Origin(), kOrigin);
  EXPECT_EQ(server.Serve(kOrigin).status, 404);
}

TEST(ContentTypeForPath, FirstMatchingEndingWins) {
  const std::pair<const char*, const char*> rows[] = {
      {"INDEX.HTML", "text/html; charset=utf-8"},
      {"APP.JS", "application/javascript; charset=utf-8"},
      {"STYLE.CSS", "text/css; charset=utf-8"},
      {"LOGO.PNG", "image/png"},
      {"ICON.SVG", "image/svg+xml"},
      {"NOTICE.TXT", "text/plain; charset=utf-8"},
      {"page.Html", "text/html; charset=utf-8"},
      {".PNG", "image/png"},
      {"APP.JS.MAP", "application/octet-stream"},
      {"A.HTM", "application/octet-stream"},
      {"HTML", "application/octet-stream"},
      {"", "application/octet-stream"},
  };
  for (const auto& [path, type] : rows) {
    EXPECT_EQ(ContentTypeForPath(path), type) << path;
  }
}

TEST(ResourceNameForPath, UpperCasesAndReplacesOneUnderscorePerUtf16Unit) {
  const std::pair<const char*, const char*> rows[] = {
      {"index.html", "TAVRENA_INDEX_HTML"},
      {"tavrena-logo.png", "TAVRENA_TAVRENA_LOGO_PNG"},
      {"i18n.js", "TAVRENA_I18N_JS"},
      {"Mixed_Case 09.Txt", "TAVRENA_MIXED_CASE_09_TXT"},
      {"img/logo.png", "TAVRENA_IMG_LOGO_PNG"},
      {"", "TAVRENA_"},
      {"\xC3\xA9.js", "TAVRENA___JS"},                       // é: one UTF-16 unit
      {"\xE2\x82\xAC", "TAVRENA__"},                         // €: one unit from three bytes
      {"\xF0\x9D\x84\x9E.js", "TAVRENA____JS"},              // U+1D11E: a surrogate pair
      {"\xD0\xBB\xD0\xBE\xD0\xB3\xD0\xBE", "TAVRENA_____"},  // four Cyrillic letters
  };
  for (const auto& [path, name] : rows) {
    EXPECT_EQ(ResourceNameForPath(path), name) << path;
  }
}

}  // namespace
}  // namespace vstwebview
