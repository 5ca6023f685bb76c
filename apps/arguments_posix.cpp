#include "cli_common.h"

namespace tavrena::cli {

// Arguments are bytes, by convention UTF-8, and the streams are already binary.
std::vector<std::string> commandLineArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

}  // namespace tavrena::cli
