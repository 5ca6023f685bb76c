// Writes the SHA-256 digests of a fixed series of messages, one per line, to the file
// named by its argument (opened in binary mode, so that lines end alike everywhere). The Linux
// build (OpenSSL) and the Windows build (CNG) must print the same lines: the seeded
// streams, and so every solo, rest on these digests.
#include <cstdint>
#include <cstdio>
#include <string>

#include "generator/sha256.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: sha256_digests OUTPUT\n");
    return 2;
  }
  std::FILE* out = std::fopen(argv[1], "wb");
  if (!out) return 1;
  tavrena::Sha256 sha;
  // Lengths around every block and padding boundary, then a few large messages.
  std::uint32_t state = 0x2545F491u;
  auto next = [&state] {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return static_cast<char>(state & 0xFF);
  };
  auto print = [&sha, out](const std::string& message) {
    const auto digest = sha.hash(message);
    std::fprintf(out, "%zu ", message.size());
    for (const auto byte : digest) std::fprintf(out, "%02x", static_cast<unsigned>(byte));
    std::fprintf(out, "\n");
  };
  for (std::size_t length = 0; length <= 300; ++length) {
    std::string message;
    for (std::size_t i = 0; i < length; ++i) message += next();
    print(message);
  }
  for (const std::size_t length : {4095u, 4096u, 65537u, 1u << 20}) {
    std::string message;
    for (std::size_t i = 0; i < length; ++i) message += next();
    print(message);
  }
  print("abc");
  return std::fclose(out) == 0 ? 0 : 1;
}
