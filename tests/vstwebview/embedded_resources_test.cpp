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
#include <tuple>
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
    if (entry.is_regular_file()) {
      ++files;
      const std::string name = ResourceNameForPath(fileNameOf(entry.path()));
      const auto bytes = FindEmbeddedResource(name);
      ASSERT_TRUE(bytes.has_value()) << name;
      EXPECT_TRUE(*bytes == readFile(entry.path())) << name << ": bytes differ from the file";
    }
  }
#ifndef _WIN32
  EXPECT_EQ(EmbeddedFiles().size(), files);
#endif
  for (const char* absent : {"", "TAVRENA_", "tavrena_index_html", "TAVRENA_INDEX_HTMLX"}) {
    EXPECT_FALSE(FindEmbeddedResource(absent).has_value()) << absent;
  }

  // The page, end to end, under its policy: nothing from elsewhere, no inline script.
  const std::string origin = "https://tavrena.invalid/";
  const ResourceResponse page = ResourceServer(origin, EmbeddedResourceLookup()).Serve(origin);
  EXPECT_EQ(page.status, 200);
  EXPECT_EQ(page.body, readFile(fs::path(TAVRENA_RESOURCE_DIR) / "index.html"));
  EXPECT_NE(page.body.find("content=\"default-src 'self'; script-src 'self'; style-src 'self' "
                           "'unsafe-inline'; img-src 'self' data:; connect-src 'self'; "
                           "object-src 'none'; base-uri 'none'\""),
            std::string::npos);
}

// The embedding step runs CMake, a build-machine program.
#ifndef _WIN32
// Runs the build's embedding step on folder and returns its exit status, its messages with
// white space runs as one space (CMake wraps them), and the resource script it wrote.
std::tuple<int, std::string, std::string> runEmbedScript(const fs::path& folder) {
  const fs::path out = folder.parent_path();
  const std::string command =
      std::string("'") + TAVRENA_CMAKE_COMMAND + "' '-DRESOURCE_DIR=" + folder.string() +
      "' '-DOUTPUT_CPP=" + (out / "t.cpp").string() + "' '-DOUTPUT_RC=" + (out / "t.rc").string() +
      "' -P '" + TAVRENA_EMBED_SCRIPT + "' >'" + (out / "log").string() + "' 2>&1";
  const int status = std::system(command.c_str());
  return {status, std::regex_replace(readFile(out / "log"), std::regex("\\s+"), " "),
          readFile(out / "t.rc")};
}

TEST(EmbedScript, NamesFilesAsTheServerDoesAndRefusesClashes) {
  const fs::path folder = freshFolder() / "in";
  fs::create_directories(folder / "sub");
  // Dotless i; é € U+1D11E: non-ASCII names must get the server's count of "_".
  const std::vector<std::string> names = {"tavrena-logo.png",
                                          "Z",
                                          "Z1",
                                          "a b.TXT",
                                          "\xC4\xB1.txt",
                                          "\xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9E-x.js"};
  for (const std::string& name : names) {
    writeFile(folder / name, "x");
  }
  writeFile(folder / "sub" / "app.js", "x");

  const auto [status, log, rc] = runEmbedScript(folder);
  ASSERT_EQ(status, 0) << log;
  const std::regex line("(\\w+) RCDATA \"([^\"]+)\"\n");
  std::vector<std::string> found;
  for (auto it = std::sregex_iterator(rc.begin(), rc.end(), line); it != std::sregex_iterator();
       ++it) {
    const fs::path path = fs::u8path((*it)[2].str());
    EXPECT_EQ((*it)[1].str(), ResourceNameForPath(fileNameOf(path))) << path;
    found.push_back((*it)[1]);
  }
  EXPECT_EQ(found.size(), names.size()) << rc;
  EXPECT_TRUE(std::is_sorted(found.begin(), found.end()));

  writeFile(folder / "a-b.js", "1");
  writeFile(folder / "a_b.js", "2");
  const auto [clashStatus, clashLog, unused] = runEmbedScript(folder);
  EXPECT_NE(clashStatus, 0);
  EXPECT_NE(clashLog.find("\"a-b.js\" and \"a_b.js\" both become TAVRENA_A_B_JS"),
            std::string::npos)
      << clashLog;
}

#endif  // _WIN32

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
}

}  // namespace
}  // namespace vstwebview
