#include <iostream>

#include "commands.h"
#include "theory/config.h"

namespace tavrena::cli {

int runDefaults(Args args) {
  for (const std::string& arg : args) {
    if (isHelp(arg)) {
      std::cout << "usage: tavrena defaults\n\n"
                   "Prints the default configuration as indented JSON, a starting point\n"
                   "for a configuration file of your own.\n";
      return kExitOk;
    }
    throw UsageError("unexpected argument '" + arg + "'");
  }
  std::cout << defaultConfig().dump(2) << '\n';
  return kExitOk;
}

}  // namespace tavrena::cli
