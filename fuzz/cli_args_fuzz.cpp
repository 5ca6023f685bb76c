// Command lines -> each command's option parsing. The input's bytes split at NUL
// are the arguments; the first picks the command. A UsageError (or another
// std::exception) is the expected way to refuse; anything else is a finding, as
// is a parsed result that breaks the rules the commands rely on.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "options.h"

namespace {

using namespace tavrena::cli;

void require(bool condition) {
  if (!condition) std::abort();
}

void parse(const std::string& command, Args args) {
  if (command == "check" || command == "state") {
    const FileOptions options =
        command == "check" ? parseCheckOptions(args) : parseStateOptions(args);
    require(options.help || options.file.size() <= 1 || options.file[0] != '-');
  } else if (command == "defaults") {
    require(parseDefaultsOptions(args).help || args.empty());
  } else if (command == "export") {
    const ExportOptions options = parseExportOptions(args);
    if (!options.help) require(!options.state.empty());
  } else if (command == "generate") {
    const GenerateOptions options = parseGenerateOptions(args);
    if (options.help) return;
    require(!(options.all && options.variant));
    if (options.variant) require(*options.variant >= 0 && *options.variant < 9007199254740992);
    if (options.notes) require(!options.all && options.midi.empty() && options.svg.empty());
    if (!options.notes && options.variant) require(*options.variant <= 2);
  } else if (command == "render" || command == "play") {
    const SoundOptions options =
        command == "render" ? parseRenderOptions(args) : parsePlayOptions(args);
    if (options.help) return;
    if (options.variant) require(*options.variant >= 0 && *options.variant <= 2);
    require(options.sampleRate == 44100 || options.sampleRate == 48000);
    require(options.driver != "file");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> words(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0)
      words.emplace_back();
    else
      words.back() += static_cast<char>(data[i]);
  }
  try {
    parse(words[0], Args(words).subspan(1));
  } catch (const UsageError&) {
  } catch (const std::exception&) {
  }
  return 0;
}
