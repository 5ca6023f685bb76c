// Runs the `tavrena` executable and checks exit codes and output as a user sees them.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <string>

#include "run_tool.h"

namespace {

using Result = tavrena::testing::ToolResult;
using tavrena::testing::runTool;

Result run(const std::string& args, const std::string& input = "") {
  return runTool(args, input);
}

TEST(CliCheck, PrintsTheNormalisedConfigurationOnOneLine) {
  const Result r = run("check", R"({"progression": ["Am", "F"], "output": "Соло.mid"})");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  ASSERT_FALSE(r.out.empty());
  EXPECT_EQ(r.out.find('\n'), r.out.size() - 1);                        // exactly one line
  EXPECT_NE(r.out.find("\"output\":\"Соло.mid\""), std::string::npos);  // raw UTF-8
  const auto parsed = nlohmann::json::parse(r.out);
  EXPECT_EQ(parsed.at("bars").size(), 2u);
  EXPECT_EQ(r.out.substr(0, 9), "{\"bars\":[");
}

TEST(CliCheck, ReadsFilesAndDashAsStandardInput) {
  const std::string path =
      ::testing::TempDir() + "tavrena_cli_" + std::to_string(getpid()) + "_config.json";
  std::ofstream(path) << R"(["C", "G"])";
  const Result fromFile = run("check '" + path + "'");
  const Result fromStdin = run("check -", R"(["C", "G"])");
  EXPECT_EQ(fromFile.code, 0);
  EXPECT_EQ(fromFile.out, fromStdin.out);
}

TEST(CliCheck, RefusedConfigurationsPrintOneErrorLineAndExit1) {
  const std::pair<const char*, const char*> rows[] = {
      {R"({"progression": ["H"]})", "error: Invalid chord: H\n"},
      {R"({"progression": ["C"], "meter": "99999999999/4"})",
       "error: stoi argument out of range\n"},
      {R"({"progression": ["C\nG"]})", "error: Unsupported chord: C\\u000aG\n"},
  };
  for (const auto& [input, expected] : rows) {
    const Result r = run("check", input);
    EXPECT_EQ(r.code, 1) << input;
    EXPECT_EQ(r.err, expected);
    EXPECT_EQ(r.out, "");
  }
  // The JSON library's own errors and malformed JSON are refusals too.
  for (const char* input : {"{", "", R"({"progression": [{"chord": 5}]})", "[1] // c"}) {
    const Result r = run("check", input);
    EXPECT_EQ(r.code, 1) << input;
    EXPECT_EQ(r.err.rfind("error: ", 0), 0u) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
  }
}

TEST(CliCheck, HostileDocumentsAreRefusedWithOneShortLine) {
  using namespace std::string_literals;
  // Text after a NUL byte was once ignored; 130,000 levels of nesting and a 50 kB chord
  // name once ended the process.
  std::string longChord(50000, 'x');
  longChord[0] = 'C';
  const std::pair<std::string, std::string> rows[] = {
      {R"({"progression": ["C"]})"s + '\0' + " junk",
       "error: [json.exception.parse_error.101] parse error at byte 23: syntax error - NUL "
       "byte (U+0000) in the JSON text\n"},
      {std::string(130000, '[') + std::string(130000, ']'),
       "error: [json.exception.parse_error.101] parse error at byte 129: syntax error - "
       "nesting deeper than 128 levels\n"},
      {R"({"progression": [")" + longChord + R"("]})",
       "error: Unsupported chord: " + longChord.substr(0, 80) + "\u2026\n"},
  };
  for (const auto& [input, expected] : rows) {
    const Result r = run("check", input);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, expected);
    EXPECT_EQ(r.out, "");
  }
}

TEST(CliUsage, MistakesExit2AndHelpExits0) {
  EXPECT_EQ(run("check --frobnicate").code, 2);
  EXPECT_EQ(run("check /nonexistent/config.json").code, 2);
  EXPECT_EQ(run("check a.json b.json").code, 2);
  EXPECT_EQ(run("").code, 2);
  EXPECT_EQ(run("conjure").code, 2);
  for (const char* args : {"--help", "check --help", "defaults --help"}) {
    const Result r = run(args);
    EXPECT_EQ(r.code, 0) << args;
    EXPECT_NE(r.out.find("usage: tavrena"), std::string::npos) << args;
  }
}

TEST(CliDefaults, PrintsAConfigurationThatChecks) {
  const Result defaults = run("defaults");
  ASSERT_EQ(defaults.code, 0);
  EXPECT_NE(defaults.out.find("\n  \"bpm\": 120,"), std::string::npos);  // indented
  const Result checked = run("check", defaults.out);
  EXPECT_EQ(checked.code, 0) << checked.err;
  EXPECT_EQ(nlohmann::json::parse(checked.out).at("seed"), 42);
}

}  // namespace
