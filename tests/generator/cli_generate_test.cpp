// `tavrena generate` as a user runs it.
#include <gtest/gtest.h>

#include <string>

#include "run_tool.h"

#include "theory/json.h"

namespace {

using Result = tavrena::testing::ToolResult;

Result run(const std::string& args, const std::string& input = "") {
  return tavrena::testing::runTool("generate " + args, input);
}

TEST(CliGenerate, PrintsTheNoteArrayOnOneLine) {
  const Result r = run("- --notes", R"({"progression": ["Am", "F", "C", "G"], "seed": 7})");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out.find('\n'), r.out.size() - 1);
  const auto notes = tavrena::Json::parse(r.out);
  ASSERT_TRUE(notes.is_array());
  ASSERT_FALSE(notes.empty());
  EXPECT_EQ(notes[0].size(), 4u);
  EXPECT_EQ(r.out.substr(0, 11), "[{\"length\":");
}

TEST(CliGenerate, VariantAddsToTheSeedModulo2To53) {
  auto notes = [](const std::string& args, const std::string& config) {
    const Result r = run(args, config);
    EXPECT_EQ(r.code, 0) << r.err;
    return r.out;
  };
  const std::string withSeed = R"({"progression": ["C", "G"], "seed": 41})";
  EXPECT_EQ(notes("- --notes --variant 2", withSeed),
            notes("- --notes", R"({"progression": ["C", "G"], "seed": 43})"));
  EXPECT_EQ(notes("- --notes --variant 0", withSeed), notes("- --notes", withSeed));
  EXPECT_EQ(notes("- --variant 1 --notes", R"(["C", "G"])"),
            notes("- --notes", R"({"progression": ["C", "G"], "seed": 1})"));
  EXPECT_EQ(notes("- --notes --variant 1", R"({"progression": ["C", "G"], "seed": null})"),
            notes("- --notes", R"({"progression": ["C", "G"], "seed": 1})"));
  EXPECT_EQ(
      notes("- --notes --variant 2", R"({"progression": ["C", "G"], "seed": 9007199254740991})"),
      notes("- --notes", R"({"progression": ["C", "G"], "seed": 1})"));
}

TEST(CliGenerate, RefusalsAndUsageErrors) {
  Result r = run("- --notes", R"({"progression": []})");
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "error: progression must be a non-empty array\n");
  EXPECT_EQ(r.out, "");
  // A configuration refused on its own seed is refused whatever the variant.
  r = run("- --notes --variant 1", R"({"progression": ["C"], "seed": -1})");
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "error: seed: out of range\n");

  r = run("- --notes --all", R"(["C"])");
  EXPECT_EQ(r.code, 2);
  r = run("- --variant 3", R"(["C"])");
  EXPECT_EQ(r.code, 2);
  for (const char* bad : {"- --notes --variant", "- --notes --variant x", "- --notes --variant -1",
                          "- --notes --variant 9007199254740992", "- --notes --bogus",
                          "--notes a.json b.json", "--notes /nonexistent/config.json"}) {
    r = run(bad, R"(["C"])");
    EXPECT_EQ(r.code, 2) << bad;
    EXPECT_EQ(r.out, "") << bad;
  }
  r = run("--help");
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("usage: tavrena generate"), std::string::npos);
}

}  // namespace
