#include "theory/message_text.h"

#include <cstdint>
#include <cstdio>

namespace tavrena {
namespace {

// Length of the well-formed UTF-8 sequence at text[i], or 0.
std::size_t utf8Length(std::string_view text, std::size_t i, std::uint32_t& codePoint) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  std::size_t length = 0;
  std::uint32_t minimum = 0;
  if (lead < 0x80) {
    codePoint = lead;
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, codePoint = lead & 0x1Fu, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, codePoint = lead & 0x0Fu, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, codePoint = lead & 0x07u, minimum = 0x10000;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0u) != 0x80u) return 0;
    codePoint = (codePoint << 6) | (byte(i + k) & 0x3Fu);
  }
  const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
  if (codePoint < minimum || codePoint > 0x10FFFF || surrogate) return 0;
  return length;
}

// Characters that would let a message hide or reorder text on screen.
bool mustEscape(std::uint32_t c) {
  return c < 0x20 || c == 0x7F || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) ||
         (c >= 0x2066 && c <= 0x2069);
}

}  // namespace

std::string echoText(std::string_view text) {
  std::string out;
  char escape[8];
  for (std::size_t i = 0; i < text.size();) {
    std::uint32_t codePoint = 0;
    const std::size_t length = utf8Length(text, i, codePoint);
    std::string_view piece;
    if (length == 0) {
      std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned char>(text[i]));
      piece = escape;
    } else if (mustEscape(codePoint)) {
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(codePoint));
      piece = escape;
    } else {
      piece = text.substr(i, length);
    }
    if (out.size() + piece.size() > kMaxEchoBytes) {
      out += "\u2026";
      return out;
    }
    out += piece;
    i += length == 0 ? 1 : length;
  }
  return out;
}

std::string fieldPath(std::string_view parent, std::string_view key) {
  std::string path(parent);
  if (!path.empty()) path += '.';
  path += echoText(key);
  return path;
}

std::string elementPath(std::string_view parent, std::size_t index) {
  return std::string(parent) + '[' + std::to_string(index) + ']';
}

}  // namespace tavrena
