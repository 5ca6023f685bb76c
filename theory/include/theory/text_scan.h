#pragma once
// Hand-written scanners for note names, chord symbols and metres: linear in the
// text and without recursion, so a text of any length is safe to scan.
#include <optional>
#include <string_view>

namespace tavrena {

// A letter A-G or a-g, optionally followed by '#' or 'b', and nothing else.
bool isNoteNameText(std::string_view text);

// A chord symbol (already trimmed) cut into its parts: a note name, a quality
// without '/', and an optional "/" plus a note name at the end.
struct ChordSymbolParts {
  std::string_view root;
  std::string_view quality;
  std::string_view bass;  // empty when there is no slash bass
};
std::optional<ChordSymbolParts> scanChordSymbol(std::string_view text);

// "N/D" with one or more decimal digits on each side, and nothing else.
struct MeterParts {
  std::string_view numerator;
  std::string_view denominator;
};
std::optional<MeterParts> scanMeter(std::string_view text);

}  // namespace tavrena
