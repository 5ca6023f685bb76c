#include <iostream>

#include "commands.h"
#include "theory/config.h"
#include "theory/json_parse.h"

namespace tavrena::cli {

namespace {
constexpr const char* kHelp =
    "usage: tavrena check [FILE]\n\n"
    "Reads a configuration JSON from FILE (standard input when FILE is absent or '-'),\n"
    "validates it and prints the normalised configuration as compact JSON on one line.\n"
    "A refused configuration prints 'error: <message>' on standard error and exits 1.\n";
}

int runCheck(Args args) {
  std::string file;
  for (const std::string& arg : args) {
    if (isHelp(arg)) {
      std::cout << kHelp;
      return kExitOk;
    }
    if (arg.size() > 1 && arg[0] == '-') throw UsageError("unknown option '" + arg + "'");
    if (!file.empty()) throw UsageError("more than one FILE given");
    file = arg;
  }
  const std::string text = readInput(file);
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
