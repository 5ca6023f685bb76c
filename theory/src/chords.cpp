#include "theory/chords.h"

#include <algorithm>
#include <array>
#include <optional>
#include <stdexcept>
#include <string_view>

#include "chord_qualities.h"
#include "theory/config_rules.h"
#include "theory/message_text.h"
#include "theory/text_scan.h"

namespace tavrena {
namespace {

using detail::ChordQuality;
using detail::kChordQualities;

constexpr std::size_t longestQuality() {
  std::size_t longest = 0;
  for (const ChordQuality& q : kChordQualities) longest = std::max(longest, q.name.size());
  return longest;
}
constexpr std::size_t kLongestQuality = longestQuality();

// The pitch class of an upper-case note letter: the single-letter note names.
constexpr int letterValue(char upper) {
  for (std::size_t pc = 0; pc < kSharpNames.size(); ++pc)
    if (kSharpNames[pc].size() == 1 && kSharpNames[pc][0] == upper) return static_cast<int>(pc);
  return 0;  // the scanner admits only the letters above
}
static_assert(letterValue('A') == 9 && letterValue('B') == 11);

bool isChordBlank(char c) {
  return kBlanks.find(c) != std::string_view::npos;
}

}  // namespace

int parseNoteName(const std::string& text) {
  if (!isNoteNameText(text)) throw std::invalid_argument("Invalid note: " + echoText(text));
  char letter = text[0];
  if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
  int value = letterValue(letter);
  if (text.size() == 2)
    for (const Accidental& a : kAccidentals)
      if (a.sign == text[1]) value += a.semitones;
  return ((value % 12) + 12) % 12;
}

ChordSymbol parseChordSymbol(const std::string& text) {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && isChordBlank(text[first])) ++first;
  while (last > first && isChordBlank(text[last - 1])) --last;
  const std::string_view trimmed = std::string_view(text).substr(first, last - first);

  const std::optional<ChordSymbolParts> parts = scanChordSymbol(trimmed);
  if (!parts) throw std::invalid_argument("Invalid chord: " + echoText(text));

  // No quality is longer than this, and "M" only grows when normalised, so a longer
  // text is refused before it is copied.
  if (parts->quality.size() > kLongestQuality)
    throw std::invalid_argument("Unsupported chord: " + echoText(text));

  // An upper-case M means "maj"; everything else is read case-insensitively, so
  // "M7" is maj7 while "Maj7" becomes the unsupported "majaj7".
  std::string quality;
  for (char c : parts->quality) {
    if (c == 'M')
      quality += "maj";
    else if (c >= 'A' && c <= 'Z')
      quality += static_cast<char>(c - 'A' + 'a');
    else
      quality += c;
  }
  const ChordQuality* found = nullptr;
  for (const ChordQuality& q : kChordQualities)
    if (q.name == quality) found = &q;
  if (found == nullptr) throw std::invalid_argument("Unsupported chord: " + echoText(text));

  ChordSymbol chord;
  chord.root = parseNoteName(std::string(parts->root));
  for (int i = 0; i < found->count; ++i)
    chord.tones.push_back((chord.root + found->intervals[i]) % 12);
  return chord;
}

}  // namespace tavrena
