#pragma once
// Expected file bytes written by hand: hex text for structure, literal strings for
// the texts inside meta events, so that every golden reads as an annotated dump.
// Goldens are never regenerated from the writer's output; when one fails, the test
// prints both dumps so that a reviewer can decide which side is wrong.
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tavrena::testing {

class Golden {
 public:
  Golden& hex(std::string_view text) {
    int nibbles = 0;
    unsigned value = 0;
    for (char c : text) {
      if (c == ' ') continue;
      unsigned digit = 0;
      if (c >= '0' && c <= '9')
        digit = static_cast<unsigned>(c - '0');
      else if (c >= 'A' && c <= 'F')
        digit = static_cast<unsigned>(c - 'A' + 10);
      else
        throw std::invalid_argument("bad hex digit in golden");
      value = value * 16 + digit;
      if (++nibbles == 2) {
        bytes_.push_back(static_cast<std::uint8_t>(value));
        nibbles = 0;
        value = 0;
      }
    }
    if (nibbles != 0) throw std::invalid_argument("odd number of hex digits in golden");
    return *this;
  }
  Golden& text(std::string_view s) {
    bytes_.insert(bytes_.end(), s.begin(), s.end());
    return *this;
  }
  Golden& append(const std::vector<std::uint8_t>& more) {
    bytes_.insert(bytes_.end(), more.begin(), more.end());
    return *this;
  }
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }
  operator std::vector<std::uint8_t>() const { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
};

// 16 bytes per line with the printable characters beside them.
inline std::string hexDump(const std::vector<std::uint8_t>& bytes) {
  std::string out;
  char cell[24];
  for (std::size_t row = 0; row < bytes.size(); row += 16) {
    std::snprintf(cell, sizeof cell, "%06zx", row);
    out += cell;
    std::string ascii;
    for (std::size_t i = row; i < row + 16 && i < bytes.size(); ++i) {
      std::snprintf(cell, sizeof cell, " %02X", bytes[i]);
      out += cell;
      ascii += bytes[i] >= 0x20 && bytes[i] < 0x7F ? static_cast<char>(bytes[i]) : '.';
    }
    out += "  " + ascii + "\n";
  }
  return out;
}

}  // namespace tavrena::testing
