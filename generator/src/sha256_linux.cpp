// SHA-256 through OpenSSL's libcrypto (EVP), for every platform but Windows.
#include <openssl/evp.h>
#include <openssl/opensslv.h>

#include <stdexcept>

#include "generator/seeded_streams.h"
#include "generator/sha256.h"

namespace tavrena {

namespace {
EVP_MD* md(void* p) {
  return static_cast<EVP_MD*>(p);
}
EVP_MD_CTX* ctx(void* p) {
  return static_cast<EVP_MD_CTX*>(p);
}
}  // namespace

Sha256::Sha256() {
#if OPENSSL_VERSION_MAJOR >= 3
  // Fetching fails when no loaded provider offers SHA-256 (a restrictive
  // configuration file, for instance); that is the "unavailable" case.
  provider_ = EVP_MD_fetch(nullptr, "SHA256", nullptr);
#else
  provider_ = const_cast<EVP_MD*>(EVP_sha256());
#endif
  if (provider_ == nullptr) throw std::runtime_error(kSha256Unavailable);
  context_ = EVP_MD_CTX_new();
  if (context_ == nullptr) {
#if OPENSSL_VERSION_MAJOR >= 3
    EVP_MD_free(md(provider_));
#endif
    throw std::runtime_error(kSha256Unavailable);
  }
}

Sha256::~Sha256() {
  EVP_MD_CTX_free(ctx(context_));
#if OPENSSL_VERSION_MAJOR >= 3
  EVP_MD_free(md(provider_));
#endif
}

Sha256::Digest Sha256::hash(std::string_view bytes) {
  Digest digest{};
  unsigned int size = 0;
  if (EVP_DigestInit_ex(ctx(context_), md(provider_), nullptr) != 1 ||
      EVP_DigestUpdate(ctx(context_), bytes.data(), bytes.size()) != 1 ||
      EVP_DigestFinal_ex(ctx(context_), digest.data(), &size) != 1 || size != digest.size())
    throw std::runtime_error(kSha256Failed);
  return digest;
}

}  // namespace tavrena
