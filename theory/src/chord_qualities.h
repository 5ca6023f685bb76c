#pragma once
// The chord qualities a chord symbol may name: the one table the parser, the published
// schema and so the editor's chord picker read.
#include <array>
#include <string_view>

namespace tavrena::detail {

// Quality text (after normalisation), intervals above the root in chord order (the
// ninth is 14 so that it lands last in the tone list), their count, and for a second
// spelling of a quality above it with the same tones, that quality's name.
struct ChordQuality {
  std::string_view name;
  std::array<int, 5> intervals;
  int count;
  const char* spellingOf = nullptr;
};
inline constexpr ChordQuality kChordQualities[] = {
    {"", {0, 4, 7}, 3},
    {"maj", {0, 4, 7}, 3, ""},
    {"major", {0, 4, 7}, 3, ""},
    {"m", {0, 3, 7}, 3},
    {"min", {0, 3, 7}, 3, "m"},
    {"minor", {0, 3, 7}, 3, "m"},
    {"7", {0, 4, 7, 10}, 4},
    {"maj7", {0, 4, 7, 11}, 4},
    {"m7", {0, 3, 7, 10}, 4},
    {"min7", {0, 3, 7, 10}, 4, "m7"},
    {"mmaj7", {0, 3, 7, 11}, 4},
    {"dim", {0, 3, 6}, 3},
    {"dim7", {0, 3, 6, 9}, 4},
    {"m7b5", {0, 3, 6, 10}, 4},
    {"aug", {0, 4, 8}, 3},
    {"sus2", {0, 2, 7}, 3},
    {"sus4", {0, 5, 7}, 3},
    {"5", {0, 7}, 2},
    {"6", {0, 4, 7, 9}, 4},
    {"m6", {0, 3, 7, 9}, 4},
    {"9", {0, 4, 7, 10, 14}, 5},
    {"m9", {0, 3, 7, 10, 14}, 5},
    {"maj9", {0, 4, 7, 11, 14}, 5},
    {"add9", {0, 4, 7, 14}, 4},
};

// A second spelling names an earlier quality that is not itself a spelling, and has its tones.
constexpr bool spellingsAreConsistent() {
  for (const ChordQuality& q : kChordQualities) {
    if (q.spellingOf == nullptr) continue;
    bool found = false;
    for (const ChordQuality& other : kChordQualities) {
      if (&other == &q) break;
      if (other.name == q.spellingOf)
        found =
            other.spellingOf == nullptr && other.count == q.count && other.intervals == q.intervals;
    }
    if (!found) return false;
  }
  return true;
}
static_assert(spellingsAreConsistent());

}  // namespace tavrena::detail
