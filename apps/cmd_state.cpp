#include <iostream>

#include "commands.h"
#include "options.h"
#include "state/state.h"
#include "theory/json_parse.h"

namespace tavrena::cli {

namespace {
constexpr const char* kHelp =
    "usage: tavrena state [FILE]\n\n"
    "Reads a state document (as the plug-in saves it in a project) from FILE, or from\n"
    "standard input when FILE is absent or '-'. Validates it, converts an older layout,\n"
    "rebuilds the derived fields and prints the result as compact JSON on one line,\n"
    "exactly as the plug-in would save it. A state document may hold at most 256 MiB.\n"
    "A refused document prints 'error: <message>' on standard error and exits 1.\n";
static_assert(kMaxStateBytes == std::size_t{256} << 20, "the help text names the limit");
}  // namespace

int runState(Args args) {
  const FileOptions options = parseStateOptions(args);
  if (options.help) {
    std::cout << kHelp;
    return kExitOk;
  }
  const std::string text = readInput(options.file, kMaxStateBytes, "a state document");
  std::string normalised;
  try {
    normalised = serializeState(normalizeState(parseJsonText(text)));
  } catch (const std::exception& e) {
    return reportRefused(e.what());
  }
  std::cout << normalised << '\n';
  return kExitOk;
}

}  // namespace tavrena::cli
