#include <iostream>

#include "commands.h"
#include "options.h"
#include "theory/config.h"

namespace tavrena::cli {

int runDefaults(Args args) {
  if (parseDefaultsOptions(args).help) {
    std::cout << "usage: tavrena defaults\n\n"
                 "Prints the default configuration as indented JSON, a starting point\n"
                 "for a configuration file of your own.\n";
    return kExitOk;
  }
  std::cout << defaultConfig().dump(2) << '\n';
  return kExitOk;
}

}  // namespace tavrena::cli
