#pragma once
// Writes 8-bit RGB pixels as a PNG file, for screenshots tests save as artifacts. The image data
// goes into stored (uncompressed) deflate blocks: larger files, no compression library needed.
#include <array>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace tavrena::testing {

inline std::uint32_t pngCrc(const std::string& bytes, std::size_t from = 0) {
  static const auto table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  std::uint32_t crc = 0xffffffffu;
  for (std::size_t i = from; i < bytes.size(); ++i) {
    crc = table[(crc ^ static_cast<std::uint8_t>(bytes[i])) & 0xff] ^ (crc >> 8);
  }
  return crc ^ 0xffffffffu;
}

// rgb: width x height pixels, 3 bytes each, rows top to bottom. False if the file cannot be
// written.
inline bool writePng(const std::string& path, int width, int height,
                     const std::vector<std::uint8_t>& rgb) {
  auto be32 = [](std::string& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(v >> shift));
  };
  auto chunk = [&](std::string& out, const char* type, const std::string& data) {
    be32(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = out.size();
    out += type;
    out += data;
    be32(out, pngCrc(out, start));
  };
  std::string raw;  // filter byte 0 before every row
  const std::size_t row = static_cast<std::size_t>(width) * 3;
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    raw.append(reinterpret_cast<const char*>(rgb.data()) + y * row, row);
  }
  std::string zlib = "\x78\x01";
  std::uint32_t a = 1;
  std::uint32_t b = 0;
  for (unsigned char c : raw) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  for (std::size_t at = 0; at < raw.size() || at == 0; at += 65535) {
    const std::size_t n = std::min<std::size_t>(65535, raw.size() - at);
    zlib.push_back(at + n >= raw.size() ? 1 : 0);
    zlib.push_back(static_cast<char>(n & 0xff));
    zlib.push_back(static_cast<char>(n >> 8));
    zlib.push_back(static_cast<char>(~n & 0xff));
    zlib.push_back(static_cast<char>((~n >> 8) & 0xff));
    zlib.append(raw, at, n);
    if (raw.empty()) break;
  }
  be32(zlib, (b << 16) | a);

  std::string png = "\x89PNG\r\n\x1a\n";
  std::string header;
  be32(header, static_cast<std::uint32_t>(width));
  be32(header, static_cast<std::uint32_t>(height));
  header +=
      std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, no filter, no interlace
  chunk(png, "IHDR", header);
  chunk(png, "IDAT", zlib);
  chunk(png, "IEND", "");
  std::ofstream file(path, std::ios::binary);
  file.write(png.data(), static_cast<std::streamsize>(png.size()));
  return static_cast<bool>(file);
}

}  // namespace tavrena::testing
