#include <iostream>

#include "commands.h"
#include "options.h"
#include "theory/config.h"
#include "theory/json_parse.h"

namespace tavrena::cli {

namespace {
constexpr const char* kHelp =
    "usage: tavrena check [FILE]\n\n"
    "Reads a configuration JSON from FILE (standard input when FILE is absent or '-'),\n"
    "validates it and prints the normalised configuration as compact JSON on one line.\n"
    "A configuration may hold at most 8 MiB, as much as the editor imports.\n"
    "A refused configuration prints 'error: <message>' on standard error and exits 1.\n";
}

int runCheck(Args args) {
  const FileOptions options = parseCheckOptions(args);
  if (options.help) {
    std::cout << kHelp;
    return kExitOk;
  }
  const std::string text = readInput(options.file, kMaxConfigBytes, "a configuration");
  Json normalised;
  try {
    normalised = normalizeConfig(parseJsonText(text));
  } catch (const std::exception& e) {
    return reportRefused(e.what());
  }
  std::cout << normalised.dump(-1, ' ', false, Json::error_handler_t::strict) << '\n';
  return kExitOk;
}

}  // namespace tavrena::cli
