#include <iostream>

#include "commands.h"
#include "solo_files.h"
#include "theory/json_parse.h"

namespace tavrena::cli {

namespace {
constexpr const char* kHelp =
    "usage: tavrena export STATE.json [-o FILE.mid] [--svg FILE.svg]\n\n"
    "Writes the Standard MIDI File of a saved state's selected variant: a chord track\n"
    "(tempo map, time signatures, one marker per chord) and the solo track with its\n"
    "bends and slides. STATE.json may be '-' for standard input.\n\n"
    "options:\n"
    "  -o FILE.mid    where to write the MIDI file (default: the file name of the\n"
    "                 configuration's \"output\" in the current folder, solo.mid when\n"
    "                 it has none)\n"
    "  --svg FILE     also draw the variant as a piano roll with its chord lane (SVG)\n\n"
    "A refused state prints 'error: <message>' on standard error, writes nothing and\n"
    "exits 1.\n";

struct ExportOptions {
  std::string state;
  std::string midi;
  std::string svg;
};
}  // namespace

int runExport(Args args) {
  ExportOptions options;
  bool haveState = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&]() -> const std::string& {
      if (i + 1 >= args.size() || args[i + 1].empty())
        throw UsageError("option '" + arg + "' needs a file name");
      return args[++i];
    };
    if (isHelp(arg)) {
      std::cout << kHelp;
      return kExitOk;
    }
    if (arg == "-o" || arg == "--output") {
      options.midi = value();
    } else if (arg == "--svg") {
      options.svg = value();
    } else if (arg.size() > 1 && arg[0] == '-') {
      throw UsageError("unknown option '" + arg + "'");
    } else {
      if (haveState) throw UsageError("more than one STATE.json given");
      options.state = arg;
      haveState = true;
    }
  }
  if (!haveState) throw UsageError("missing STATE.json");

  const std::string text = readInput(options.state);
  SoloFiles files;
  try {
    files = buildSoloFiles(parseJsonText(text), !options.svg.empty());
  } catch (const std::exception& e) {
    return reportRefused(e.what());
  }
  const std::string midiPath = options.midi.empty() ? defaultMidiPath(files.state) : options.midi;
  saveSoloFiles(files, midiPath, options.svg);
  std::cerr << describeMidiFile(files, midiPath) << '\n';
  if (!options.svg.empty()) std::cerr << "wrote " << options.svg << ": piano roll\n";
  return kExitOk;
}

}  // namespace tavrena::cli
