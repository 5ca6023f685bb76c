#include <iostream>
#include <string>
#include <vector>

#include "commands.h"

namespace {

using namespace tavrena::cli;

struct Command {
  const char* name;
  const char* summary;
  int (*run)(Args);
};

constexpr Command kCommands[] = {
    {"check", "validate a configuration and print its normalised form", runCheck},
    {"defaults", "print the default configuration as a starting point", runDefaults},
    {"generate", "generate a solo variant of a configuration", runGenerate},
    {"export", "write the MIDI file (and piano roll) of a saved state", runExport},
    {"state", "normalise a state document and print it as the plug-in saves it", runState},
};

void printUsage(std::ostream& out) {
  out << "usage: tavrena <command> [options]\n\n"
         "Tavrena generates guitar solos over a chord progression.\n\n"
         "commands:\n";
  for (const Command& c : kCommands) {
    std::string name = c.name;
    name.resize(10, ' ');
    out << "  " << name << c.summary << '\n';
  }
  out << "\nRun 'tavrena <command> --help' for a command's options.\n";
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    printUsage(std::cerr);
    return kExitUsage;
  }
  if (isHelp(args[0])) {
    printUsage(std::cout);
    return kExitOk;
  }
  for (const Command& c : kCommands) {
    if (args[0] != c.name) continue;
    try {
      return c.run(Args(args).subspan(1));
    } catch (const UsageError& e) {
      std::cerr << "tavrena " << c.name << ": " << e.what() << "\n"
                << "Try 'tavrena " << c.name << " --help'.\n";
      return kExitUsage;
    } catch (const std::bad_alloc&) {
      return reportRefused("out of memory");
    }
  }
  std::cerr << "tavrena: unknown command '" << args[0] << "'\n";
  printUsage(std::cerr);
  return kExitUsage;
}
