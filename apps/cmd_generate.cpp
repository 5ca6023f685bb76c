#include <atomic>
#include <charconv>
#include <cstdint>
#include <iostream>
#include <optional>
#include <sstream>

#include "commands.h"
#include "generator/generate.h"
#include "solo_files.h"
#include "state/state.h"
#include "theory/config.h"
#include "theory/json_parse.h"

namespace tavrena::cli {

namespace {

constexpr const char* kHelp =
    "usage: tavrena generate [CONFIG] [--variant N | --all] [-o FILE.mid] [--svg FILE.svg]\n"
    "                        [--state FILE.json] [--notes]\n\n"
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
    "  --notes        print the variant's note array as compact JSON on one line\n"
    "                 instead of writing files\n\n"
    "A summary goes to standard error. A refused configuration prints\n"
    "'error: <message>' on standard error, writes nothing and exits 1.\n";

constexpr std::int64_t kSeedModulus = 9007199254740992;  // 2^53

struct GenerateOptions {
  std::string file;  // empty: the default configuration
  bool notes = false;
  bool all = false;
  std::optional<std::int64_t> variant;
  std::string midi;
  std::string svg;
  std::string state;
};

std::int64_t parseVariant(const std::string& text) {
  std::int64_t value = 0;
  const char* last = text.data() + text.size();
  const auto [end, error] = std::from_chars(text.data(), last, value);
  if (error != std::errc() || end != last || value < 0 || value >= kSeedModulus)
    throw UsageError("--variant needs a whole number from 0 to 9007199254740991, not '" + text +
                     "'");
  return value;
}

// Returns nullopt when --help was asked for.
std::optional<GenerateOptions> parseOptions(Args args) {
  GenerateOptions options;
  bool haveFile = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    // Options that take a value read it from the next argument.
    auto value = [&]() -> const std::string& {
      if (i + 1 >= args.size() || args[i + 1].empty())
        throw UsageError("option '" + arg + "' needs a value");
      return args[++i];
    };
    if (isHelp(arg)) return std::nullopt;
    if (arg == "--notes") {
      options.notes = true;
    } else if (arg == "--variant") {
      options.variant = parseVariant(value());
    } else if (arg == "--all") {
      options.all = true;
    } else if (arg == "-o" || arg == "--output") {
      options.midi = value();
    } else if (arg == "--svg") {
      options.svg = value();
    } else if (arg == "--state") {
      options.state = value();
    } else if (arg.size() > 1 && arg[0] == '-') {
      throw UsageError("unknown option '" + arg + "'");
    } else {
      if (haveFile) throw UsageError("more than one FILE given");
      options.file = arg;
      haveFile = true;
    }
  }
  if (options.all && options.variant) throw UsageError("--variant and --all cannot be combined");
  if (options.notes &&
      (options.all || !options.midi.empty() || !options.svg.empty() || !options.state.empty()))
    throw UsageError("--notes prints notes only; it cannot be combined with file options");
  if (!options.notes && options.variant && *options.variant > 2)
    throw UsageError("--variant must be 0, 1 or 2 when writing files");
  return options;
}

// The variant's configuration: "seed" becomes (seed + variant) mod 2^53, an
// absent or null seed counting as 0. Only called on a configuration that
// normalised, so the seed is null or a whole number in range.
Json withVariantSeed(Json configuration, const Json& normalised, std::int64_t variant) {
  if (variant == 0) return configuration;
  const Json& seed = normalised.at("seed");
  const std::int64_t base = seed.is_null() ? 0 : seed.get<std::int64_t>();
  const std::int64_t effective = (base + variant) % kSeedModulus;
  // A bare progression array is a configuration too; give it an object to hold the seed.
  if (configuration.is_array()) configuration = Json{{"progression", configuration}};
  configuration["seed"] = effective;
  return configuration;
}

// A saved state document is recognised by its "config" (or older "chords") key;
// anything else is a configuration.
bool isStateDocument(const Json& value) {
  return value.is_object() && (value.contains("config") || value.contains("chords"));
}

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
  const std::optional<GenerateOptions> options = parseOptions(args);
  if (!options) {
    std::cout << kHelp;
    return kExitOk;
  }
  const std::string text =
      options->file.empty() ? defaultConfig().dump() : readInput(options->file);
  if (options->notes) return printNotes(*options, text);

  static const std::atomic<bool> kNeverCancelled{false};
  SoloFiles files;
  std::string stateText;
  try {
    const Json input = parseJsonText(text);
    Json state = normalizeState(isStateDocument(input) ? input : Json{{"config", input}});
    if (options->variant) state["variation"] = *options->variant;
    const Json normalised = normalizeConfig(state.at("config"));
    const auto selected = state.at("variation").get<std::int64_t>();
    // Each slot is generated from its own seed, as the plug-in does.
    for (std::int64_t slot = 0; slot < 3; ++slot) {
      if (!options->all && slot != selected) continue;
      state["variants"][slot] =
          generateSolo(withVariantSeed(state.at("config"), normalised, slot), kNeverCancelled);
    }
    state = normalizeState(std::move(state));
    files = buildSoloFiles(state, !options->svg.empty());
    if (!options->state.empty()) stateText = serializeState(files.state);
  } catch (const std::exception& e) {
    return reportRefused(e.what());
  }
  const std::string midiPath = options->midi.empty() ? defaultMidiPath(files.state) : options->midi;
  saveSoloFiles(files, midiPath, options->svg);
  if (!options->state.empty()) writeOutput(options->state, stateText);
  std::cerr << summaryLine(files.state) << '\n' << describeMidiFile(files, midiPath) << '\n';
  if (!options->svg.empty()) std::cerr << "wrote " << options->svg << ": piano roll\n";
  if (!options->state.empty()) std::cerr << "wrote " << options->state << ": state document\n";
  return kExitOk;
}

}  // namespace tavrena::cli
