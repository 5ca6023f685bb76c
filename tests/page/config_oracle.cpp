// The engine's verdict on configurations, for the shared rules test: reads one JSON
// document a line from standard input and answers each with one line, {"ok": true} when
// normalizeConfig accepts it, else {"error": its message}.
#include <exception>
#include <iostream>
#include <string>

#include "theory/config.h"
#include "theory/json_parse.h"

int main() {
  std::string line;
  while (std::getline(std::cin, line)) {
    tavrena::Json verdict;
    try {
      tavrena::normalizeConfig(tavrena::parseJsonText(line));
      verdict["ok"] = true;
    } catch (const std::exception& error) {
      verdict["error"] = error.what();
    }
    std::cout << verdict.dump() << '\n';
  }
  return std::cout.flush() ? 0 : 1;
}
