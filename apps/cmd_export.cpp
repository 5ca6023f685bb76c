#include <iostream>

#include "commands.h"
#include "options.h"
#include "output_set.h"
#include "solo_files.h"
#include "state/state.h"
#include "theory/json_parse.h"

namespace tavrena::cli {

namespace {
constexpr const char* kHelp =
    "usage: tavrena export STATE.json [-o FILE.mid] [--svg FILE.svg] [--chords]\n\n"
    "Writes the Standard MIDI File of a saved state's selected variant: a chord track\n"
    "(tempo map, time signatures, one marker per chord) and the solo track with its\n"
    "bends and slides. STATE.json may be '-' for standard input; it may hold at most\n"
    "256 MiB.\n\n"
    "options:\n"
    "  -o FILE.mid    where to write the MIDI file (default: the file name of the\n"
    "                 configuration's \"output\" in the current folder, solo.mid when\n"
    "                 it has none)\n"
    "  --svg FILE     also draw the variant as a piano roll with its chord lane (SVG)\n"
    "  --chords       add the progression as a quiet backing: a third track, one chord\n"
    "                 per segment on channel 2 (General MIDI pad)\n\n"
    "Files are replaced only once every output was written in full; a device or pipe\n"
    "(/dev/stdout, a FIFO) is written to directly. A symbolic link is written through.\n"
    "Two outputs naming the same file, and read-only files, are refused.\n"
    "A refused state prints 'error: <message>' on standard error, writes nothing and\n"
    "exits 1.\n";
static_assert(kMaxStateBytes == std::size_t{256} << 20, "the help text names the limit");
}  // namespace

int runExport(Args args) {
  const ExportOptions options = parseExportOptions(args);
  if (options.help) {
    std::cout << kHelp;
    return kExitOk;
  }
  const std::string text = readInput(options.state, kMaxStateBytes, "a state document");
  SoloFiles files;
  try {
    files = buildSoloFiles(parseJsonText(text), !options.svg.empty(), options.chords);
  } catch (const std::exception& e) {
    return reportRefused(e.what());
  }
  const std::string midiPath = options.midi.empty() ? defaultMidiPath(files.state) : options.midi;
  OutputSet outputs;
  addSoloFiles(outputs, files, midiPath, options.svg);
  outputs.commit();
  std::cerr << describeMidiFile(files, midiPath) << '\n';
  if (!options.svg.empty()) std::cerr << "wrote " << options.svg << ": piano roll\n";
  return kExitOk;
}

}  // namespace tavrena::cli
