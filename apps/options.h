#pragma once
// Each command's command line, parsed without touching a file or a stream, so
// that parsing can be tested and fuzzed on its own. Every parser throws
// UsageError for a mistake; `help` set means the rest of the line was not read.
#include <cstdint>
#include <optional>
#include <string>

#include "cli_common.h"

namespace tavrena::cli {

// check, state: at most one FILE ("" or "-" is standard input).
struct FileOptions {
  bool help = false;
  std::string file;
};
FileOptions parseCheckOptions(Args args);
FileOptions parseStateOptions(Args args);

// defaults takes no arguments.
struct DefaultsOptions {
  bool help = false;
};
DefaultsOptions parseDefaultsOptions(Args args);

struct ExportOptions {
  bool help = false;
  std::string state;    // "-" is standard input
  std::string midi;     // empty: the configuration's suggested name
  std::string svg;      // empty: no piano roll
  bool chords = false;  // the chord backing as a track of the MIDI file
};
ExportOptions parseExportOptions(Args args);

struct GenerateOptions {
  bool help = false;
  std::string file;  // empty: the default configuration
  bool notes = false;
  bool all = false;
  std::optional<std::int64_t> variant;  // 0..2^53-1 with --notes, else 0..2
  std::string midi;
  std::string svg;
  std::string state;
  bool chords = false;
};
GenerateOptions parseGenerateOptions(Args args);

// render and play: a solo heard through FluidSynth.
struct SoundOptions {
  bool help = false;
  std::string file;                     // empty: the default configuration
  std::optional<std::int64_t> variant;  // 0..2
  std::string soundFont;                // empty: looked up
  bool chords = false;
  // render only
  std::string output;  // empty: the suggested name with ".wav"; "-": standard output
  int sampleRate = 44100;
  bool floatSamples = false;
  // play only
  std::string driver;  // empty: FluidSynth's default audio driver
};
SoundOptions parseRenderOptions(Args args);
SoundOptions parsePlayOptions(Args args);

struct EditorOptions {
  bool help = false;
  std::string state;      // empty: no file, nothing saved
  int port = 0;           // 0: any free port
  bool open = false;      // start the user's browser
  std::string exportDir;  // empty: the current folder
  std::string resources;  // empty: the built-in page
};
EditorOptions parseEditorOptions(Args args);

}  // namespace tavrena::cli
