#include "options.h"

#include <charconv>

#include "generator/variant_seed.h"

namespace tavrena::cli {

namespace {

bool isOption(const std::string& arg) {
  return arg.size() > 1 && arg[0] == '-';
}

// An empty argument is a mistake (an unset shell variable, say), never standard
// input or the default configuration.
const std::string& positional(const std::string& arg, const char* what) {
  if (arg.empty()) throw UsageError(std::string(what) + " cannot be an empty name");
  return arg;
}

// The value of the option at args[i], which is the next argument; advances i.
const std::string& optionValue(Args args, std::size_t& i, const char* what) {
  if (i + 1 >= args.size() || args[i + 1].empty())
    throw UsageError("option '" + args[i] + "' needs " + what);
  return args[++i];
}

// Positional names are never empty (see positional), so an empty one means none yet.
FileOptions parseFileOptions(Args args) {
  FileOptions options;
  for (const std::string& arg : args) {
    if (isHelp(arg)) return {.help = true, .file = {}};
    if (isOption(arg)) throw UsageError("unknown option '" + arg + "'");
    if (!options.file.empty()) throw UsageError("more than one FILE given");
    options.file = positional(arg, "FILE");
  }
  return options;
}

std::int64_t parseVariant(const std::string& text) {
  std::int64_t value = 0;
  const char* last = text.data() + text.size();
  const auto [end, error] = std::from_chars(text.data(), last, value);
  if (error != std::errc() || end != last || value < 0 || value >= kSeedModulus)
    throw UsageError("--variant needs a whole number from 0 to 9007199254740991, not '" + text +
                     "'");
  return value;
}

}  // namespace

FileOptions parseCheckOptions(Args args) {
  return parseFileOptions(args);
}

FileOptions parseStateOptions(Args args) {
  return parseFileOptions(args);
}

DefaultsOptions parseDefaultsOptions(Args args) {
  for (const std::string& arg : args) {
    if (isHelp(arg)) return DefaultsOptions{.help = true};
    throw UsageError("unexpected argument '" + arg + "'");
  }
  return {};
}

ExportOptions parseExportOptions(Args args) {
  ExportOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (isHelp(arg)) return {.help = true, .state = {}, .midi = {}, .svg = {}, .chords = false};
    if (arg == "-o" || arg == "--output") {
      options.midi = optionValue(args, i, "a file name");
    } else if (arg == "--svg") {
      options.svg = optionValue(args, i, "a file name");
    } else if (arg == "--chords") {
      options.chords = true;
    } else if (isOption(arg)) {
      throw UsageError("unknown option '" + arg + "'");
    } else {
      if (!options.state.empty()) throw UsageError("more than one STATE.json given");
      options.state = positional(arg, "STATE.json");
    }
  }
  if (options.state.empty()) throw UsageError("missing STATE.json");
  return options;
}

GenerateOptions parseGenerateOptions(Args args) {
  GenerateOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (isHelp(arg)) {
      GenerateOptions help;
      help.help = true;
      return help;
    }
    if (arg == "--notes") {
      options.notes = true;
    } else if (arg == "--variant") {
      options.variant = parseVariant(optionValue(args, i, "a value"));
    } else if (arg == "--all") {
      options.all = true;
    } else if (arg == "-o" || arg == "--output") {
      options.midi = optionValue(args, i, "a value");
    } else if (arg == "--svg") {
      options.svg = optionValue(args, i, "a value");
    } else if (arg == "--state") {
      options.state = optionValue(args, i, "a value");
    } else if (arg == "--chords") {
      options.chords = true;
    } else if (isOption(arg)) {
      throw UsageError("unknown option '" + arg + "'");
    } else {
      if (!options.file.empty()) throw UsageError("more than one FILE given");
      options.file = positional(arg, "CONFIG");
    }
  }
  if (options.all && options.variant) throw UsageError("--variant and --all cannot be combined");
  if (options.notes && (options.all || options.chords || !options.midi.empty() ||
                        !options.svg.empty() || !options.state.empty()))
    throw UsageError("--notes prints notes only; it cannot be combined with file options");
  if (!options.notes && options.variant && *options.variant > 2)
    throw UsageError("--variant must be 0, 1 or 2 when writing files");
  return options;
}

namespace {

SoundOptions parseSoundOptions(Args args, bool render) {
  SoundOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (isHelp(arg)) {
      SoundOptions help;
      help.help = true;
      return help;
    }
    if (arg == "--variant") {
      const std::string& text = optionValue(args, i, "a value");
      if (text != "0" && text != "1" && text != "2")
        throw UsageError("--variant must be 0, 1 or 2, not '" + text + "'");
      options.variant = text[0] - '0';
    } else if (arg == "--soundfont") {
      options.soundFont = optionValue(args, i, "a SoundFont file");
    } else if (arg == "--chords") {
      options.chords = true;
    } else if (render && (arg == "-o" || arg == "--output")) {
      options.output = optionValue(args, i, "a file name");
    } else if (render && arg == "--rate") {
      const std::string& text = optionValue(args, i, "a sample rate");
      if (text != "44100" && text != "48000")
        throw UsageError("--rate must be 44100 or 48000, not '" + text + "'");
      options.sampleRate = text == "44100" ? 44100 : 48000;
    } else if (render && arg == "--format") {
      const std::string& text = optionValue(args, i, "a sample format");
      if (text != "s16" && text != "float")
        throw UsageError("--format must be s16 or float, not '" + text + "'");
      options.floatSamples = text == "float";
    } else if (!render && arg == "--driver") {
      options.driver = optionValue(args, i, "an audio driver");
      // FluidSynth's "file" driver would write fluidsynth.wav, unlike any output of ours.
      if (options.driver == "file")
        throw UsageError("--driver file plays to no device; 'tavrena render' writes audio files");
    } else if (isOption(arg)) {
      throw UsageError("unknown option '" + arg + "'");
    } else {
      if (!options.file.empty()) throw UsageError("more than one FILE given");
      options.file = positional(arg, "CONFIG");
    }
  }
  return options;
}

}  // namespace

SoundOptions parseRenderOptions(Args args) {
  return parseSoundOptions(args, true);
}

SoundOptions parsePlayOptions(Args args) {
  return parseSoundOptions(args, false);
}

EditorOptions parseEditorOptions(Args args) {
  EditorOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (isHelp(arg)) {
      options.help = true;
      return options;
    }
    if (arg == "--state") {
      options.state = optionValue(args, i, "a state file");
    } else if (arg == "--port") {
      const std::string& text = optionValue(args, i, "a port number");
      int value = 0;
      const char* last = text.data() + text.size();
      const auto [end, error] = std::from_chars(text.data(), last, value);
      if (error != std::errc() || end != last || value < 0 || value > 65535)
        throw UsageError("--port needs a whole number from 0 to 65535, not '" + text + "'");
      options.port = value;
    } else if (arg == "--open") {
      options.open = true;
    } else if (arg == "--export-dir") {
      options.exportDir = optionValue(args, i, "a folder");
    } else if (arg == "--resources") {
      options.resources = optionValue(args, i, "a folder");
    } else if (isOption(arg)) {
      throw UsageError("unknown option '" + arg + "'");
    } else {
      throw UsageError("unexpected argument '" + arg + "'");
    }
  }
  return options;
}

}  // namespace tavrena::cli
