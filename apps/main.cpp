#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "cli_common.h"
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
    {"render", "render a solo to a WAV file through FluidSynth", runRender},
    {"play", "play a solo on the sound device through FluidSynth", runPlay},
    {"state", "normalise a state document and print it as the plug-in saves it", runState},
    {"editor", "edit a phrase in the plug-in's editor page, in your web browser", runEditor},
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

int runCommand(const std::vector<std::string>& args) {
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
    } catch (const Refused& e) {
      return reportRefused(e.what());
    }
  }
  std::cerr << "tavrena: unknown command '" << args[0] << "'\n";
  printUsage(std::cerr);
  return kExitUsage;
}

// What was printed reaches its destination only when flushed; a full disk or a
// closed pipe shows up here, and must not end in a successful exit.
bool flushStandardOutput() {
  std::cout.flush();
  return std::fflush(stdout) == 0 && !std::ferror(stdout) && std::cout.good();
}

}  // namespace

int main(int argc, char** argv) {
  int code = kExitOk;
  try {
    code = runCommand(commandLineArguments(argc, argv));
  } catch (const std::bad_alloc&) {
    // Input within the limits may still ask for more memory than there is.
    code = reportRefused("out of memory");
  }
  if (!flushStandardOutput()) {
    std::cerr << "tavrena: cannot write standard output\n";
    return kExitUsage;
  }
  return code;
}
