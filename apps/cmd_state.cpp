#include <iostream>

#include "commands.h"
#include "state/state.h"
#include "theory/json_parse.h"

namespace tavrena::cli {

namespace {
constexpr const char* kHelp =
    "usage: tavrena state [FILE]\n\n"
    "Reads a state document (as the plug-in saves it in a project) from FILE, or from\n"
    "standard input when FILE is absent or '-'. Validates it, converts an older layout,\n"
    "rebuilds the derived fields and prints the result as compact JSON on one line,\n"
    "exactly as the plug-in would save it.\n"
    "A refused document prints 'error: <message>' on standard error and exits 1.\n";
}

int runState(Args args) {
  std::string file;
  bool haveFile = false;
  for (const std::string& arg : args) {
    if (isHelp(arg)) {
      std::cout << kHelp;
      return kExitOk;
    }
    if (arg.size() > 1 && arg[0] == '-') throw UsageError("unknown option '" + arg + "'");
    if (haveFile) throw UsageError("more than one FILE given");
    file = arg;
    haveFile = true;
  }
  const std::string text = readInput(file);
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
