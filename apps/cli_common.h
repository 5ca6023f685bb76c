#pragma once
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tavrena::cli {

// Exit codes shared by every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitRefused = 1;  // the input was read but refused
inline constexpr int kExitUsage = 2;    // bad command line, unreadable file

// Thrown for command-line mistakes; main() prints it with a hint and exits 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

using Args = std::span<const std::string>;

// Reads a whole file, or standard input for "" and "-". Throws UsageError.
std::string readInput(const std::string& path);

// Writes bytes to a file, replacing it. Throws UsageError when it cannot.
void writeOutput(const std::string& path, std::string_view bytes);

// Prints "error: <message>" as one line on standard error (line breaks in the
// message are folded so the report stays one line) and returns kExitRefused.
int reportRefused(std::string_view message);

bool isHelp(const std::string& arg);

}  // namespace tavrena::cli
