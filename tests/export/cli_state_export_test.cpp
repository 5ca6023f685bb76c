// `tavrena state` and `tavrena export` run as a user runs them: exit codes, what
// they print, and the files they leave (or do not leave) behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "midi/smf_writer.h"
#include "run_tool.h"
#include "state/state.h"

namespace tavrena {
namespace {

namespace fs = std::filesystem;

using Result = testing::ToolResult;

std::string slurp(const fs::path& path) {
  return testing::slurpFile(path.string());
}

using testing::writeFile;

// A fresh, empty working folder per test.
fs::path workDir() {
  return testing::freshWorkDir("tavrena_export");
}

Result run(const fs::path& dir, const std::string& args, const std::string& input = "") {
  return testing::runTool(args, input, dir.string());
}

std::string bytesOf(const std::vector<std::uint8_t>& v) {
  return {v.begin(), v.end()};
}

// A saved state with a short solo in variant 1, selected.
Json savedState() {
  Json notes = Json::array();
  for (int i = 0; i < 12; ++i)
    notes.push_back({{"start", i * 0.5}, {"length", 0.4}, {"pitch", 57 + i}, {"velocity", 90}});
  return {{"config", {{"progression", {"Am", "F", "E7"}}, {"output", "C:\\Music\\take1.mid"}}},
          {"variation", 1},
          {"variants", {Json::array(), notes, Json::array()}}};
}

TEST(CliState, PrintsTheNormalisedDocumentOnOneLine) {
  const fs::path dir = workDir();
  const Result r = run(dir, "state", R"({"chords": [{"name": "C"}], "numerator": 3, "x": 1})");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, serializeState(normalizeState(
                       Json::parse(R"({"chords": [{"name": "C"}], "numerator": 3})"))) +
                       "\n");
  // Its output is a state the tool accepts unchanged.
  writeFile(dir / "state.json", r.out);
  EXPECT_EQ(run(dir, "state state.json").out, r.out);
  EXPECT_EQ(run(dir, "state -", r.out).out, r.out);
}

TEST(CliState, RefusalsAndMistakes) {
  const fs::path dir = workDir();
  const std::pair<const char*, const char*> refused[] = {
      {R"({"variation": 3})", "error: variation\n"},
      {"[1]", "error: State must be an object\n"},
      {R"({"config": ["H"]})", "error: Invalid chord: H\n"},
  };
  for (const auto& [input, message] : refused) {
    const Result r = run(dir, "state", input);
    EXPECT_EQ(r.code, 1) << input;
    EXPECT_EQ(r.err, message);
    EXPECT_EQ(r.out, "");
  }
  for (const char* input : {"", "{", "{} // note"}) {
    const Result r = run(dir, "state", input);
    EXPECT_EQ(r.code, 1) << input;
    EXPECT_EQ(r.err.rfind("error: ", 0), 0u);
  }
  EXPECT_EQ(run(dir, "state --pretty").code, 2);
  EXPECT_EQ(run(dir, "state a.json b.json").code, 2);
  EXPECT_EQ(run(dir, "state missing.json").code, 2);
  const Result help = run(dir, "state --help");
  EXPECT_EQ(help.code, 0);
  EXPECT_EQ(help.out.rfind("usage: tavrena state", 0), 0u);
}

TEST(CliExport, WritesTheSelectedVariantAndItsPianoRoll) {
  const fs::path dir = workDir();
  writeFile(dir / "saved.json", savedState().dump());
  const std::string expected = bytesOf(writeStandardMidiFile(savedState()));
  // Without -o: the file name of "output" (C:\Music\take1.mid), in the current folder.
  const Result r = run(dir, "export saved.json");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "wrote take1.mid: variant 1, 12 notes, 3 chord segments\n");
  EXPECT_EQ(slurp(dir / "take1.mid"), expected);

  const Result svg = run(dir, "export - -o out.mid --svg roll.svg", savedState().dump());
  ASSERT_EQ(svg.code, 0) << svg.err;
  EXPECT_EQ(svg.err,
            "wrote out.mid: variant 1, 12 notes, 3 chord segments\nwrote roll.svg: piano roll\n");
  EXPECT_EQ(slurp(dir / "out.mid"), expected);
  EXPECT_EQ(slurp(dir / "roll.svg").rfind("<svg ", 0), 0u);

  // Saved, normalised by `state`, exported again: the same bytes.
  const Result normalised = run(dir, "state saved.json");
  ASSERT_EQ(normalised.code, 0);
  EXPECT_EQ(run(dir, "export - -o again.mid", normalised.out).code, 0);
  EXPECT_EQ(slurp(dir / "again.mid"), expected);
}

TEST(CliExport, RefusedStatesWriteNothing) {
  const fs::path dir = workDir();
  Json bad = savedState();
  bad["variants"][1][3]["pitch"] = 128;
  writeFile(dir / "bad.json", bad.dump());
  const Result r = run(dir, "export bad.json -o out.mid --svg roll.svg");
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "error: note\n");
  EXPECT_FALSE(fs::exists(dir / "out.mid"));
  EXPECT_FALSE(fs::exists(dir / "roll.svg"));

  writeFile(dir / "broken.json", "{\"config\": ");
  EXPECT_EQ(run(dir, "export broken.json").code, 1);
  EXPECT_FALSE(fs::exists(dir / "solo.mid"));
}

TEST(CliExport, CommandLineMistakesExit2) {
  const fs::path dir = workDir();
  writeFile(dir / "saved.json", savedState().dump());
  for (const char* args :
       {"export", "export saved.json -o", "export saved.json --svg", "export saved.json --loud",
        "export a.json b.json", "export missing.json", "export saved.json -o no/such/dir/x.mid"}) {
    const Result r = run(dir, args);
    EXPECT_EQ(r.code, 2) << args;
    EXPECT_NE(r.err.find("Try 'tavrena export --help'"), std::string::npos) << args;
  }
  const Result help = run(dir, "export --help");
  EXPECT_EQ(help.code, 0);
  EXPECT_EQ(help.out.rfind("usage: tavrena export", 0), 0u);
}

}  // namespace
}  // namespace tavrena

namespace tavrena {
namespace {

TEST(CliGenerateFiles, DefaultPhraseWritesSoloMidAndAStateThatExportsTheSameBytes) {
  const fs::path dir = workDir();
  const Result r = run(dir, "generate --state saved.json --svg solo.svg");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find("wrote solo.mid: variant 0"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("8 chord segments"), std::string::npos) << r.err;
  const std::string midi = slurp(dir / "solo.mid");
  ASSERT_GT(midi.size(), 14u);
  EXPECT_EQ(midi.substr(0, 4), "MThd");
  EXPECT_EQ(slurp(dir / "solo.svg").substr(0, 4), "<svg");

  // The saved state is normalised, holds the generated variant, and exports to
  // exactly the bytes generate wrote.
  const Json saved = Json::parse(slurp(dir / "saved.json"));
  EXPECT_EQ(normalizeState(saved), saved);
  EXPECT_FALSE(saved.at("variants").at(0).empty());
  EXPECT_TRUE(saved.at("variants").at(1).empty());
  ASSERT_EQ(run(dir, "export saved.json -o again.mid").code, 0);
  EXPECT_EQ(slurp(dir / "again.mid"), midi);
  EXPECT_EQ(bytesOf(writeStandardMidiFile(saved)), midi);
}

TEST(CliGenerateFiles, VariantsUseTheirOwnSeedsAndStatesAreAccepted) {
  const fs::path dir = workDir();
  writeFile(dir / "config.json", R"({"progression": ["C", "G7", "C"], "seed": 5})");
  ASSERT_EQ(run(dir, "generate config.json --all --variant 1 -o x.mid").code, 2);
  const Result all = run(dir, "generate config.json --all --state all.json -o all.mid");
  ASSERT_EQ(all.code, 0) << all.err;
  const Json state = Json::parse(slurp(dir / "all.json"));
  for (int slot = 0; slot < 3; ++slot) {
    const Result notes = run(dir, "generate config.json --notes --variant " + std::to_string(slot));
    EXPECT_EQ(Json::parse(notes.out), state.at("variants").at(slot)) << slot;
  }
  EXPECT_NE(state.at("variants").at(0), state.at("variants").at(1));

  // A saved state as input: its selected variant is regenerated and written.
  Json input = state;
  input["variation"] = 2;
  writeFile(dir / "input.json", input.dump());
  const Result fromState = run(dir, "generate input.json -o two.mid");
  ASSERT_EQ(fromState.code, 0) << fromState.err;
  EXPECT_NE(fromState.err.find("variant 2"), std::string::npos);
  EXPECT_EQ(slurp(dir / "two.mid"), bytesOf(writeStandardMidiFile(input)));

  // A refused configuration writes nothing.
  writeFile(dir / "bad.json", R"({"progression": ["H"]})");
  const Result bad = run(dir, "generate bad.json -o bad.mid --state bad-state.json");
  EXPECT_EQ(bad.code, 1);
  EXPECT_EQ(bad.err, "error: Invalid chord: H\n");
  EXPECT_FALSE(fs::exists(dir / "bad.mid"));
  EXPECT_FALSE(fs::exists(dir / "bad-state.json"));
}

}  // namespace
}  // namespace tavrena
