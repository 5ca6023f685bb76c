#include "theory/chords.h"

#include <algorithm>
#include <array>
#include <optional>
#include <stdexcept>
#include <string_view>

#include "theory/message_text.h"
#include "theory/text_scan.h"

namespace tavrena {
namespace {

// Quality text (after normalisation) -> intervals above the root, in chord order.
// The ninth is 14 so that it lands last in the tone list.
struct ChordQuality {
  std::string_view name;
  std::array<int, 5> intervals;
  int count;
};
constexpr ChordQuality kChordQualities[] = {
    {"", {0, 4, 7}, 3},           {"maj", {0, 4, 7}, 3},          {"major", {0, 4, 7}, 3},
    {"m", {0, 3, 7}, 3},          {"min", {0, 3, 7}, 3},          {"minor", {0, 3, 7}, 3},
    {"7", {0, 4, 7, 10}, 4},      {"maj7", {0, 4, 7, 11}, 4},     {"m7", {0, 3, 7, 10}, 4},
    {"min7", {0, 3, 7, 10}, 4},   {"mmaj7", {0, 3, 7, 11}, 4},    {"dim", {0, 3, 6}, 3},
    {"dim7", {0, 3, 6, 9}, 4},    {"m7b5", {0, 3, 6, 10}, 4},     {"aug", {0, 4, 8}, 3},
    {"sus2", {0, 2, 7}, 3},       {"sus4", {0, 5, 7}, 3},         {"5", {0, 7}, 2},
    {"6", {0, 4, 7, 9}, 4},       {"m6", {0, 3, 7, 9}, 4},        {"9", {0, 4, 7, 10, 14}, 5},
    {"m9", {0, 3, 7, 10, 14}, 5}, {"maj9", {0, 4, 7, 11, 14}, 5}, {"add9", {0, 4, 7, 14}, 4},
};

constexpr std::size_t longestQuality() {
  std::size_t longest = 0;
  for (const ChordQuality& q : kChordQualities) longest = std::max(longest, q.name.size());
  return longest;
}
constexpr std::size_t kLongestQuality = longestQuality();

int letterValue(char upper) {
  switch (upper) {
    case 'C':
      return 0;
    case 'D':
      return 2;
    case 'E':
      return 4;
    case 'F':
      return 5;
    case 'G':
      return 7;
    case 'A':
      return 9;
    default:
      return 11;  // 'B'; the pattern admits nothing else
  }
}

bool isChordBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

int parseNoteName(const std::string& text) {
  if (!isNoteNameText(text)) throw std::invalid_argument("Invalid note: " + echoText(text));
  char letter = text[0];
  if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
  int value = letterValue(letter);
  if (text.size() == 2) value += text[1] == '#' ? 1 : -1;
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
