#include <atomic>
#include <cstdint>
#include <iostream>
#include <sstream>

#include "commands.h"
#include "generate_input.h"
#include "generator/generate.h"
#include "options.h"
#include "output_set.h"
#include "solo_files.h"
#include "solo_state.h"
#include "state/state.h"
#include "theory/config.h"
#include "theory/json_parse.h"

namespace tavrena::cli {

namespace {

constexpr const char* kHelp =
    "usage: tavrena generate [CONFIG] [--variant N | --all] [-o FILE.mid] [--svg FILE.svg]\n"
    "                        [--state FILE.json] [--chords] [--notes]\n\n"
    "Generates a solo for a configuration (the built-in default phrase when CONFIG is\n"
    "absent; '-' reads standard input). CONFIG may also hold a whole saved state\n"
    "document, whose configuration, switches and selected variant are used.\n"
    "Writes the Standard MIDI File of the generated variant.\n\n"
    "options:\n"
    "  --variant N    generate variant slot N (0, 1 or 2): the seed plus N, as the\n"
    "                 plug-in does for its slots (with --notes any N up to 2^53 - 1)\n"
    "  --all          generate all three variant slots, each from its own seed\n"
    "  -o FILE.mid    where to write the MIDI file (default: the file name of the\n"
    "                 configuration's \"output\" in the current folder)\n"
    "  --svg FILE     also draw the variant as a piano roll with its chord lane (SVG)\n"
    "  --state FILE   also save the state document, which the plug-in can load\n"
    "  --chords       add the progression as a quiet backing: a third track, one chord\n"
    "                 per segment on channel 2 (General MIDI pad)\n"
    "  --notes        print the variant's note array as compact JSON on one line\n"
    "                 instead of writing files\n\n"
    "CONFIG may hold at most 8 MiB, as much as the editor imports; a state document\n"
    "up to 256 MiB (as the plug-in saves it), provided its configuration stays within\n"
    "8 MiB: only the configuration is used, the variants are generated anew.\n"
    "Files are replaced only once every output was written in full; a device or pipe\n"
    "(/dev/stdout, a FIFO) is written to directly. A symbolic link is written through.\n"
    "Two outputs naming the same file, and read-only files, are refused.\n"
    "A summary goes to standard error. A refused configuration prints\n"
    "'error: <message>' on standard error, writes nothing and exits 1.\n";
static_assert(kMaxStateBytes == std::size_t{256} << 20, "the help text names the limit");
static_assert(kMaxConfigBytes == std::size_t{8} << 20, "the help text names the limit");

std::string summaryLine(const Json& state) {
  std::ostringstream line;
  line << "phrase: " << state.at("bars").get<std::size_t>() << " chord segments, "
       << state.at("timeline").size() << " timeline entries, notes per variant:";
  for (const Json& variant : state.at("variants")) line << ' ' << variant.size();
  return line.str();
}

int printNotes(const GenerateOptions& options, const std::string& text) {
  static const std::atomic<bool> kNeverCancelled{false};
  Json notes;
  try {
    Json configuration = parseJsonText(text);
    if (isStateDocument(configuration)) configuration = normalizeState(configuration).at("config");
    // Validate first, so a refused configuration reports its own message even
    // when a variant would have changed its seed.
    const Json normalised = normalizeConfig(configuration);
    notes = generateSolo(withVariantSeed(configuration, normalised, options.variant.value_or(0)),
                         kNeverCancelled);
  } catch (const std::exception& e) {
    return reportRefused(e.what());
  }
  std::cout << notes.dump(-1, ' ', false, Json::error_handler_t::strict) << '\n';
  return kExitOk;
}

}  // namespace

int runGenerate(Args args) {
  const GenerateOptions options = parseGenerateOptions(args);
  if (options.help) {
    std::cout << kHelp;
    return kExitOk;
  }
  const std::string text = readGenerateInput(options.file);
  if (options.notes) return printNotes(options, text);

  SoloFiles files;
  std::string stateText;
  try {
    const Json state = generateSoloState(parseJsonText(text), options.variant, options.all);
    files = buildSoloFiles(state, !options.svg.empty(), options.chords);
    if (!options.state.empty()) stateText = serializeState(files.state);
  } catch (const std::exception& e) {
    return reportRefused(e.what());
  }
  const std::string midiPath = options.midi.empty() ? defaultMidiPath(files.state) : options.midi;
  OutputSet outputs;
  addSoloFiles(outputs, files, midiPath, options.svg);
  if (!options.state.empty()) outputs.add(options.state, std::move(stateText));
  outputs.commit();
  std::cerr << summaryLine(files.state) << '\n' << describeMidiFile(files, midiPath) << '\n';
  if (!options.svg.empty()) std::cerr << "wrote " << options.svg << ": piano roll\n";
  if (!options.state.empty()) std::cerr << "wrote " << options.state << ": state document\n";
  return kExitOk;
}

}  // namespace tavrena::cli
