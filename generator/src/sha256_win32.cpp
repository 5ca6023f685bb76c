// SHA-256 through Windows CNG: one algorithm provider per instance, one
// BCryptHash call per message.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// windows.h first: bcrypt.h relies on its types.
#include <bcrypt.h>

#include <limits>
#include <stdexcept>

#include "generator/seeded_streams.h"
#include "generator/sha256.h"

namespace tavrena {

Sha256::Sha256() {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  const NTSTATUS status =
      BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0);
  if (!BCRYPT_SUCCESS(status) || algorithm == nullptr) throw std::runtime_error(kSha256Unavailable);
  provider_ = algorithm;
}

Sha256::~Sha256() {
  if (provider_ != nullptr)
    BCryptCloseAlgorithmProvider(static_cast<BCRYPT_ALG_HANDLE>(provider_), 0);
}

Sha256::Digest Sha256::hash(std::string_view bytes) {
  if (bytes.size() > std::numeric_limits<ULONG>::max()) throw std::runtime_error(kSha256Failed);
  Digest digest{};
  // BCryptHash takes a non-const input pointer but does not write through it.
  const NTSTATUS status = BCryptHash(static_cast<BCRYPT_ALG_HANDLE>(provider_), nullptr, 0,
                                     reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data())),
                                     static_cast<ULONG>(bytes.size()), digest.data(),
                                     static_cast<ULONG>(digest.size()));
  if (!BCRYPT_SUCCESS(status)) throw std::runtime_error(kSha256Failed);
  return digest;
}

}  // namespace tavrena
