// `tavrena render` and `tavrena play` as a user runs them, and the rendered samples
// against FluidSynth's own command-line renderer playing the MIDI file that
// generate or export wrote.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "audio/audio_settings.h"
#include "audio/soundfont_lookup.h"
#include "run_tool.h"
#include "smf_reader.h"
#include "wav_reading.h"

namespace tavrena {
namespace {

namespace fs = std::filesystem;
using testing::ToolResult;

const std::string kConfigs = std::string(TAVRENA_SOURCE_DIR) + "/tests/cross_platform/configs/";

std::string slurp(const fs::path& path) {
  return testing::slurpFile(path.string());
}

struct Rendering {
  std::string input;   // a configuration or state file; empty: the default phrase
  std::string midi;    // the command writing its MIDI file, with its options
  std::string render;  // render's options
  const char* format;
  int rate;
};

TEST(CliRender, SamplesAreFluidSynthsOwnRenderingOfTheMidiFile) {
  const fs::path dir = testing::freshWorkDir("tavrena_render");
  const std::string soundFont = findSoundFont("", nullptr).string();
  const ToolResult saved = testing::runTool(
      "generate '" + kConfigs + "blues_shuffle.json' --variant 1 --state saved.json -o /dev/null",
      "", dir.string());
  ASSERT_EQ(saved.code, 0) << saved.err;
  const Rendering renderings[] = {
      {"", "generate", "", "s16", 44100},
      {kConfigs + "jazz_ii_v_i.json", "generate --chords", "--chords", "float", 48000},
      {kConfigs + "sparse_modal.json", "generate --variant 2", "--variant 2", "s16", 48000},
      {"saved.json", "export --chords", "--chords", "float", 44100},
  };
  for (const Rendering& r : renderings) {
    SCOPED_TRACE(r.input + " " + r.render);
    const std::string input = r.input.empty() ? "" : "'" + r.input + "' ";
    ToolResult made = testing::runTool(r.midi + " " + input + "-o solo.mid", "", dir.string());
    ASSERT_EQ(made.code, 0) << made.err;
    made =
        testing::runTool("render " + input + r.render + " -o solo.wav --soundfont '" + soundFont +
                             "' --format " + r.format + " --rate " + std::to_string(r.rate),
                         "", dir.string());
    ASSERT_EQ(made.code, 0) << made.err;
    const std::string command = "cd '" + dir.string() +
                                "' && '" FLUIDSYNTH_EXE "' -ni -F cli.wav -O " + r.format + " -r " +
                                std::to_string(r.rate) + " -g " + std::to_string(kSynthGain) +
                                " -R 0 -C 0 '" + soundFont + "' solo.mid >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    // FluidSynth's command line renders until its voices are silent and two
    // seconds more; ours stops 1.5 s after the phrase. Where both have samples,
    // they are the same bytes.
    const std::string ours = testing::wavData(slurp(dir / "solo.wav"));
    const std::string theirs = testing::wavData(slurp(dir / "cli.wav"));
    const std::size_t common = std::min(ours.size(), theirs.size());
    EXPECT_EQ(common, ours.size()) << "FluidSynth stopped first";
    EXPECT_TRUE(ours.compare(0, common, theirs, 0, common) == 0);
    EXPECT_EQ(testing::readWav(slurp(dir / "solo.wav")).sampleRate, r.rate);
  }
}

TEST(CliRender, WritesTheDefaultPhraseWithItsTailUnderTheSuggestedName) {
  const fs::path dir = testing::freshWorkDir("tavrena_render");
  testing::writeFile(
      dir / "take.json",
      R"({"progression": ["Am", "F"], "bpm": 60, "output": "C:\\Music\\take1.mid"})");
  const ToolResult r = testing::runTool("render take.json", "", dir.string());
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err.rfind("wrote take1.wav: variant 0, ", 0), 0u) << r.err;
  EXPECT_TRUE(r.err.ends_with(" notes, 16-bit stereo at 44100 Hz\n")) << r.err;
  const testing::WavAudio audio = testing::readWav(slurp(dir / "take1.wav"));
  EXPECT_EQ(audio.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
  EXPECT_EQ(audio.frames(), 9.5 * 44100);  // two bars of 4/4 at 60 bpm, and the tail
}

TEST(CliRender, StandardOutputAndRefusals) {
  const fs::path dir = testing::freshWorkDir("tavrena_render");
  ToolResult r = testing::runTool("render - -o - --chords", R"(["C", "G"])", dir.string());
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out.substr(0, 4), "RIFF");
  EXPECT_EQ(testing::readWav(r.out).frames(), 5.5 * 44100);
  EXPECT_EQ(r.err.rfind("wrote standard output: variant 0, ", 0), 0u) << r.err;
  EXPECT_TRUE(r.err.ends_with(" notes, 16-bit stereo at 44100 Hz, chord backing\n")) << r.err;

  // "-" is standard output for every command, and only one output may go there.
  r = testing::runTool("generate -o -", "", dir.string());
  EXPECT_EQ(r.out.substr(0, 4), "MThd");
  r = testing::runTool("generate -o - --state -", "", dir.string());
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err.substr(0, r.err.find('\n')), "tavrena generate: '-' and '-' are the same file");

  const std::pair<std::string, std::string> usage[] = {
      {"render --rate 22050", "tavrena render: --rate must be 44100 or 48000, not '22050'\n"},
      {"render --format s24", "tavrena render: --format must be s16 or float, not 's24'\n"},
      {"render --variant 3", "tavrena render: --variant must be 0, 1 or 2, not '3'\n"},
      {"render --soundfont missing.sf2",
       "tavrena render: the SoundFont 'missing.sf2' (--soundfont) does not exist\n"},
      {"play --driver file",
       "tavrena play: --driver file plays to no device; 'tavrena render' writes audio files\n"},
  };
  for (const auto& [args, message] : usage) {
    r = testing::runTool(args + " -o out.wav", "", dir.string());
    EXPECT_EQ(r.code, 2) << args;
    EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1), message);
  }
  r = testing::runTool("render - -o out.wav", R"({"progression": ["C"], "bpm": 1000})",
                       dir.string());
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "error: bpm: out of range\n");
  EXPECT_TRUE(fs::is_empty(dir)) << "a refusal wrote a file";
}

TEST(CliPlay, WithoutAnAudioDeviceItSaysSo) {
  // No ALSA configuration: no "default" device anywhere.
  setenv("ALSA_CONFIG_PATH", "/dev/null", 1);
  const ToolResult r = testing::runTool("play - --driver alsa", R"(["C"])");
  unsetenv("ALSA_CONFIG_PATH");
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err.rfind("tavrena play: cannot play: no audio device could be opened with "
                        "FluidSynth's 'alsa' driver (",
                        0),
            0u)
      << r.err;
}

TEST(CliGenerate, ChordsAddABackingTrack) {
  const fs::path dir = testing::freshWorkDir("tavrena_render");
  const ToolResult r = testing::runTool("generate --chords -o c.mid", "", dir.string());
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find("wrote c.mid: variant 0, 72 notes, 8 chord segments, chord backing\n"),
            std::string::npos)
      << r.err;
  const std::string bytes = slurp(dir / "c.mid");
  const auto file = testing::SmfReader::read(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
  EXPECT_EQ(file.tracks.size(), 3u);
}

}  // namespace
}  // namespace tavrena
