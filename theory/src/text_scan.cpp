#include "theory/text_scan.h"

#include "theory/config_rules.h"

namespace tavrena {
namespace {

// The letter of a single-letter note name, in either case.
bool isNoteLetter(char c) {
  const char upper = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
  for (std::string_view name : kSharpNames)
    if (name.size() == 1 && name[0] == upper) return true;
  return false;
}

bool isAccidental(char c) {
  for (const Accidental& a : kAccidentals)
    if (a.sign == c) return true;
  return false;
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// Length of the note name at the start of text (letter plus optional accidental),
// or 0 when text does not start with one.
std::size_t noteNameLength(std::string_view text) {
  if (text.empty() || !isNoteLetter(text[0])) return 0;
  return text.size() > 1 && isAccidental(text[1]) ? 2 : 1;
}

}  // namespace

bool isNoteNameText(std::string_view text) {
  const std::size_t length = noteNameLength(text);
  return length != 0 && length == text.size();
}

std::optional<ChordSymbolParts> scanChordSymbol(std::string_view text) {
  // The accidental is always taken when present: leaving it to the quality could
  // never make a text match that does not match otherwise.
  const std::size_t rootLength = noteNameLength(text);
  if (rootLength == 0) return std::nullopt;
  ChordSymbolParts parts;
  parts.root = text.substr(0, rootLength);
  const std::string_view rest = text.substr(rootLength);
  const std::size_t slash = rest.find('/');
  parts.quality = rest.substr(0, slash);
  if (slash == std::string_view::npos) return parts;
  // Everything after the first slash must be exactly one note name.
  parts.bass = rest.substr(slash + 1);
  if (!isNoteNameText(parts.bass)) return std::nullopt;
  return parts;
}

std::optional<MeterParts> scanMeter(std::string_view text) {
  const std::size_t slash = text.find('/');
  if (slash == std::string_view::npos) return std::nullopt;
  const std::string_view n = text.substr(0, slash);
  const std::string_view d = text.substr(slash + 1);
  if (n.empty() || d.empty()) return std::nullopt;
  for (char c : n)
    if (!isDigit(c)) return std::nullopt;
  for (char c : d)
    if (!isDigit(c)) return std::nullopt;
  return MeterParts{n, d};
}

}  // namespace tavrena
