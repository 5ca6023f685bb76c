#pragma once
#include <string>
#include <vector>

namespace tavrena {

struct ChordSymbol {
  int root = 0;            // pitch class 0..11
  std::vector<int> tones;  // pitch classes in quality order; tones[0] == root
};

// "C", "c#", "Bb" ... -> pitch class. Throws std::invalid_argument "Invalid note: <text>".
int parseNoteName(const std::string& text);

// Throws std::invalid_argument "Invalid chord: <text>" / "Unsupported chord: <text>",
// quoting the text exactly as given (surrounding blanks included).
ChordSymbol parseChordSymbol(const std::string& text);

}  // namespace tavrena
