#pragma once
#include <array>
#include <cstdint>
#include <string_view>

namespace tavrena {

// SHA-256 from the platform's provider (CNG on Windows, libcrypto elsewhere).
// One instance belongs to one generation; it is not shared between threads.
class Sha256 {
 public:
  using Digest = std::array<std::uint8_t, 32>;

  // Opens the provider; throws std::runtime_error "SHA256 unavailable".
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  // Throws std::runtime_error "SHA256 failed".
  Digest hash(std::string_view bytes);

 private:
  void* provider_ = nullptr;  // BCRYPT_ALG_HANDLE or EVP_MD*
  void* context_ = nullptr;   // EVP_MD_CTX*; unused with CNG
};

}  // namespace tavrena
