#pragma once
#include <bit>
#include <cstdint>
#include <vector>

namespace tavrena {

// An ordered set of pitch classes (0..11), held as a 12-bit mask so that the
// generator's hot loops test membership with one instruction.
class PitchClassSet {
 public:
  PitchClassSet() = default;
  template <typename Range>
  static PitchClassSet of(const Range& values) {
    PitchClassSet set;
    for (int v : values) set.insert(v);
    return set;
  }

  // Values outside 0..11 are reduced modulo 12 (never negative).
  void insert(int value) { bits_ |= static_cast<std::uint16_t>(1u << mod12(value)); }
  bool contains(int value) const { return (bits_ >> mod12(value)) & 1u; }
  int size() const { return std::popcount(bits_); }
  bool empty() const { return bits_ == 0; }
  std::uint16_t bits() const { return bits_; }
  // Ascending.
  std::vector<int> values() const {
    std::vector<int> out;
    for (int pc = 0; pc < 12; ++pc)
      if (contains(pc)) out.push_back(pc);
    return out;
  }
  friend bool operator==(PitchClassSet, PitchClassSet) = default;

  static int mod12(int value) { return ((value % 12) + 12) % 12; }

 private:
  std::uint16_t bits_ = 0;
};

}  // namespace tavrena
