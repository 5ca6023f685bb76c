#pragma once
#include <cstddef>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "theory/config_rules.h"

namespace tavrena::cli {

// Exit codes shared by every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitRefused = 1;  // the input was read but refused
inline constexpr int kExitUsage = 2;    // bad command line, unreadable file, failed output

// Thrown for command-line mistakes; main() prints it with a hint and exits 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Thrown for input refused before it is parsed (too large); main() reports it as
// "error: <message>" and exits 1, as for any refused input.
class Refused : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

using Args = std::span<const std::string>;

// Reads a whole file, or standard input for "" and "-", of at most maxBytes.
// Throws UsageError when it cannot be read, Refused when it holds more; `kind`
// names what the input is for that message ("a configuration").
std::string readInput(const std::string& path, std::size_t maxBytes, std::string_view kind);

// Paths arrive as UTF-8 (arguments, the configuration's "output"); Windows would read a
// narrow string in the ANSI code page instead, and its path::string() can throw.
std::filesystem::path pathFromUtf8(const std::string& text);
std::string utf8FromPath(const std::filesystem::path& path);

// The command line as UTF-8, without the program name (Windows: from the wide command
// line, whatever the code page). Also sets the standard streams up for byte-exact
// output: binary mode on Windows, so that a JSON document printed there is the same
// bytes as on Linux, and UTF-8 text on its console.
std::vector<std::string> commandLineArguments(int argc, char** argv);

// "8 MiB", "256 MiB": a limit as the messages and the help texts name it.
std::string describeBytes(std::size_t bytes);

// Prints "error: <message>" as one line on standard error (line breaks in the
// message are folded so the report stays one line) and returns kExitRefused.
int reportRefused(std::string_view message);

bool isHelp(const std::string& arg);

}  // namespace tavrena::cli
