// The page files as the module carries them: the build compiles exactly the resource folder,
// byte for byte, under the names the server computes; the folder lookup used while working on
// the page behaves as the embedded one does.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "vstwebview/embedded_resource_table.h"
#include "vstwebview/embedded_resources.h"
#include "vstwebview/resource_server.h"

namespace vstwebview {
namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string fileNameOf(const fs::path& path) {
  const std::u8string name = path.filename().u8string();
  return {name.begin(), name.end()};
}

// A fresh, empty folder for the running test.
fs::path freshFolder() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  const fs::path dir = fs::path(::testing::TempDir()) / "vstwebview" /
                       (std::string(info->test_suite_name()) + "." + info->name());
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

TEST(EmbeddedResources, HoldExactlyTheFilesOfTheResourceFolder) {
  std::size_t files = 0;
  for (const auto& entry : fs::directory_iterator(TAVRENA_RESOURCE_DIR)) {
    if (!entry.is_regular_file()) {
      continue;
    }
    ++files;
    const std::string name = ResourceNameForPath(fileNameOf(entry.path()));
    SCOPED_TRACE(name);
    const auto bytes = FindEmbeddedResource(name);
    ASSERT_TRUE(bytes.has_value());
    EXPECT_TRUE(*bytes == readFile(entry.path())) << "embedded bytes differ from the file";
  }
  EXPECT_GE(files, 1u);
  EXPECT_EQ(EmbeddedFiles().size(), files);

  for (const char* absent :
       {"", "TAVRENA_", "tavrena_index_html", "TAVRENA_INDEX_HTM", "TAVRENA_INDEX_HTMLX", "ZZZ"}) {
    EXPECT_FALSE(FindEmbeddedResource(absent).has_value()) << absent;
  }
}

TEST(EmbeddedResources, ServeThePageUnderItsPolicy) {
  const std::string origin = "https://tavrena.invalid/";
  const ResourceServer server(origin, EmbeddedResourceLookup());
  const ResourceResponse page = server.Serve(origin);
  EXPECT_EQ(page.status, 200);
  EXPECT_EQ(page.contentType, "text/html; charset=utf-8");
  EXPECT_EQ(page.body, readFile(fs::path(TAVRENA_RESOURCE_DIR) / "index.html"));
  // The page may load nothing from elsewhere and run no inline script.
  EXPECT_NE(page.body.find("content=\"default-src 'self'; script-src 'self'; style-src 'self'; "
                           "img-src 'self' data:; connect-src 'self'\""),
            std::string::npos);
  EXPECT_EQ(server.Serve(origin + "absent.js").status, 404);
}

struct ScriptRun {
  int status = -1;
  std::string output;
  std::string rc;
};

// Runs the build's embedding step on folder, as the build does.
ScriptRun runEmbedScript(const fs::path& folder, const fs::path& out) {
  const std::string command =
      std::string("'") + TAVRENA_CMAKE_COMMAND + "' '-DRESOURCE_DIR=" + folder.string() +
      "' '-DOUTPUT_CPP=" + (out / "t.cpp").string() + "' '-DOUTPUT_RC=" + (out / "t.rc").string() +
      "' -P '" + TAVRENA_EMBED_SCRIPT + "' >'" + (out / "log").string() + "' 2>&1";
  ScriptRun run;
  run.status = std::system(command.c_str());
  // CMake wraps long messages: one space for every run of white space.
  run.output = std::regex_replace(readFile(out / "log"), std::regex("\\s+"), " ");
  run.rc = readFile(out / "t.rc");
  return run;
}

TEST(EmbedScript, NamesFilesAsTheServerDoesInByteOrder) {
  const fs::path base = freshFolder();
  const fs::path folder = base / "in";
  fs::create_directories(folder / "sub");
  const std::vector<std::string> names = {
      "tavrena-logo.png",
      "Z",
      "Z1",
      "a b.TXT",
      "\xC4\xB1.txt" /* dotless i */,
      "\xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9E-x.js" /* é € U+1D11E */};
  for (const std::string& name : names) {
    writeFile(folder / name, "x");
  }
  writeFile(folder / "sub" / "app.js", "x");

  const ScriptRun run = runEmbedScript(folder, base);
  ASSERT_EQ(run.status, 0) << run.output;
  const std::regex line("(\\w+) RCDATA \"([^\"]+)\"\n");
  std::vector<std::string> found;
  for (auto it = std::sregex_iterator(run.rc.begin(), run.rc.end(), line);
       it != std::sregex_iterator(); ++it) {
    const std::string path = (*it)[2];
    EXPECT_EQ((*it)[1].str(), ResourceNameForPath(fileNameOf(fs::u8path(path)))) << path;
    EXPECT_EQ(readFile(fs::u8path(path)), "x") << path;
    found.push_back((*it)[1]);
  }
  EXPECT_EQ(found.size(), names.size()) << run.rc;
  EXPECT_TRUE(std::is_sorted(found.begin(), found.end()));
}

TEST(EmbedScript, RefusesClashingNamesAndEmptyFiles) {
  const fs::path base = freshFolder();
  fs::create_directories(base / "clash");
  writeFile(base / "clash" / "a-b.js", "1");
  writeFile(base / "clash" / "a_b.js", "2");
  ScriptRun run = runEmbedScript(base / "clash", base);
  EXPECT_NE(run.status, 0);
  EXPECT_NE(run.output.find("\"a-b.js\" and \"a_b.js\" both become TAVRENA_A_B_JS"),
            std::string::npos)
      << run.output;

  fs::create_directories(base / "empty");
  writeFile(base / "empty" / "notice.txt", "");
  run = runEmbedScript(base / "empty", base);
  EXPECT_NE(run.status, 0);
  EXPECT_NE(run.output.find("/empty/notice.txt\" is empty"), std::string::npos) << run.output;
}

TEST(FolderResourceLookup, ServesFilesDirectlyInTheFolderReadAnewEachTime) {
  const fs::path folder = freshFolder();
  const std::string logo("\x89PNG\r\n\x1a\n\0\0\xff", 11);
  writeFile(folder / "index.html", "<p>one</p>");
  writeFile(folder / "tavrena-logo.png", logo);
  fs::create_directories(folder / "sub");
  writeFile(folder / "sub" / "app.js", "nested");
  fs::create_directories(folder / "style.css");  // a folder, not a file
  writeFile(folder / "a-b.js", "1");
  writeFile(folder / "a_b.js", "2");

  const ResourceLookup lookup = FolderResourceLookup(folder);
  EXPECT_EQ(lookup("TAVRENA_INDEX_HTML"), "<p>one</p>");
  EXPECT_EQ(lookup("TAVRENA_TAVRENA_LOGO_PNG"), logo);
  writeFile(folder / "index.html", "<p>two</p>");
  EXPECT_EQ(lookup("TAVRENA_INDEX_HTML"), "<p>two</p>");

  EXPECT_EQ(lookup("TAVRENA_APP_JS"), std::nullopt);
  EXPECT_EQ(lookup("TAVRENA_SUB_APP_JS"), std::nullopt);
  EXPECT_EQ(lookup("TAVRENA_STYLE_CSS"), std::nullopt);
  EXPECT_EQ(lookup("TAVRENA_A_B_JS"), std::nullopt) << "two files share the name";
  EXPECT_EQ(FolderResourceLookup(folder / "absent")("TAVRENA_INDEX_HTML"), std::nullopt);

  const std::string origin = "https://tavrena.invalid/";
  const ResourceServer server(origin, lookup);
  EXPECT_EQ(server.Serve(origin + "?reload").body, "<p>two</p>");
  EXPECT_EQ(server.Serve(origin + "sub/app.js").status, 404);
}

}  // namespace
}  // namespace vstwebview
