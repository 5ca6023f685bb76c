#include "cli_common.h"

#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

namespace tavrena::cli {

std::string readInput(const std::string& path) {
  if (path.empty() || path == "-") {
    std::ostringstream text;
    text << std::cin.rdbuf();
    if (std::cin.bad()) throw UsageError("cannot read standard input");
    return text.str();
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) throw UsageError("cannot open '" + path + "' for reading");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw UsageError("cannot read '" + path + "'");
  return text;
}

void writeOutput(const std::string& path, std::string_view bytes) {
  // Write beside the target and rename, so a failed write never leaves a
  // truncated file where a good one was.
  const std::string temp = path + ".part";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) throw UsageError("cannot open '" + path + "' for writing");
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    if (!out) {
      std::remove(temp.c_str());
      throw UsageError("cannot write '" + path + "'");
    }
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    std::remove(temp.c_str());
    throw UsageError("cannot write '" + path + "'");
  }
}

int reportRefused(std::string_view message) {
  std::string line(message);
  for (char& c : line)
    if (c == '\n' || c == '\r') c = ' ';
  std::cerr << "error: " << line << '\n';
  return kExitRefused;
}

bool isHelp(const std::string& arg) {
  return arg == "-h" || arg == "--help";
}

}  // namespace tavrena::cli
