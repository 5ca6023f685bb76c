#include "cli_common.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>

namespace tavrena::cli {

namespace {

// Reads in chunks and stops one byte past the limit, so that /dev/zero or a huge
// file is refused after maxBytes + 1 bytes, not when memory runs out.
// istream::read turns a failing read (a folder, an I/O error) into badbit
// instead of letting the stream buffer's exception escape.
std::string readLimited(std::istream& in, std::size_t maxBytes, const std::string& name,
                        std::string_view kind, const std::string& unreadable) {
  std::string text;
  char chunk[65536];
  while (in) {
    in.read(chunk, sizeof chunk);
    const auto got = static_cast<std::size_t>(in.gcount());
    if (in.bad()) throw UsageError(unreadable);
    if (got > maxBytes - text.size())
      throw Refused(name + " is larger than " + describeBytes(maxBytes) + ", the most " +
                    std::string(kind) + " may hold");
    text.append(chunk, got);
  }
  return text;
}

}  // namespace

std::string readInput(const std::string& path, std::size_t maxBytes, std::string_view kind) {
  if (path.empty() || path == "-") {
    std::string text =
        readLimited(std::cin, maxBytes, "standard input", kind, "cannot read standard input");
    // std::cin reads through C stdio, which reports a failed read (a folder on
    // standard input) as the end of the input; its error flag tells them apart.
    if (std::ferror(stdin)) throw UsageError("cannot read standard input");
    return text;
  }
  std::error_code error;
  if (std::filesystem::is_directory(pathFromUtf8(path), error))
    throw UsageError("cannot read '" + path + "': it is a folder");
  std::ifstream in(pathFromUtf8(path), std::ios::binary);
  if (!in) throw UsageError("cannot open '" + path + "' for reading");
  return readLimited(in, maxBytes, "'" + path + "'", kind, "cannot read '" + path + "'");
}

std::filesystem::path pathFromUtf8(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::string utf8FromPath(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::string describeBytes(std::size_t bytes) {
  constexpr std::size_t kMiB = std::size_t{1} << 20;
  if (bytes % kMiB == 0) return std::to_string(bytes / kMiB) + " MiB";
  return std::to_string(bytes) + " bytes";
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
