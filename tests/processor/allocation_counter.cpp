#include "allocation_counter.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer) || __has_feature(realtime_sanitizer)
#define TAVRENA_SANITIZED_ALLOCATOR 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TAVRENA_SANITIZED_ALLOCATOR 1
#endif
#if !defined(TAVRENA_SANITIZED_ALLOCATOR) && defined(__GLIBC__)
#define TAVRENA_COUNT_ALLOCATIONS 1
#endif

namespace {
std::atomic<bool> counting{false};
std::atomic<std::int64_t> calls{0};
}  // namespace

namespace tavrena::testing {

#if defined(TAVRENA_COUNT_ALLOCATIONS)
bool allocationCountingAvailable() {
  return true;
}
#else
bool allocationCountingAvailable() {
  return false;
}
#endif

void startCountingAllocations() {
  calls.store(0);
  counting.store(true);
}

std::int64_t stopCountingAllocations() {
  counting.store(false);
  return calls.load();
}

}  // namespace tavrena::testing

#if defined(TAVRENA_COUNT_ALLOCATIONS)

// glibc's own entry points, so the replacements can forward without recursion.
extern "C" {
void* __libc_malloc(std::size_t size);
void __libc_free(void* pointer);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* pointer, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
}

namespace {
inline void count() {
  if (counting.load(std::memory_order_relaxed)) calls.fetch_add(1, std::memory_order_relaxed);
}
}  // namespace

#define TAVRENA_EXPORT __attribute__((visibility("default")))

extern "C" {
TAVRENA_EXPORT void* malloc(std::size_t size) {
  count();
  return __libc_malloc(size);
}
TAVRENA_EXPORT void free(void* pointer) {
  if (pointer != nullptr) count();
  __libc_free(pointer);
}
TAVRENA_EXPORT void* calloc(std::size_t n, std::size_t size) {
  count();
  return __libc_calloc(n, size);
}
TAVRENA_EXPORT void* realloc(void* pointer, std::size_t size) {
  count();
  return __libc_realloc(pointer, size);
}
TAVRENA_EXPORT void* memalign(std::size_t alignment, std::size_t size) {
  count();
  return __libc_memalign(alignment, size);
}
TAVRENA_EXPORT void* aligned_alloc(std::size_t alignment, std::size_t size) {
  count();
  return __libc_memalign(alignment, size);
}
TAVRENA_EXPORT int posix_memalign(void** out, std::size_t alignment, std::size_t size) {
  count();
  void* p = __libc_memalign(alignment, size);
  if (p == nullptr) return 12;  // ENOMEM
  *out = p;
  return 0;
}
}  // extern "C"

namespace {
void* allocate(std::size_t size) {
  void* p = malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
void* allocateAligned(std::size_t size, std::align_val_t alignment) {
  void* p = aligned_alloc(static_cast<std::size_t>(alignment), size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
}  // namespace

TAVRENA_EXPORT void* operator new(std::size_t size) {
  return allocate(size);
}
TAVRENA_EXPORT void* operator new[](std::size_t size) {
  return allocate(size);
}
TAVRENA_EXPORT void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return malloc(size == 0 ? 1 : size);
}
TAVRENA_EXPORT void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return malloc(size == 0 ? 1 : size);
}
TAVRENA_EXPORT void* operator new(std::size_t size, std::align_val_t a) {
  return allocateAligned(size, a);
}
TAVRENA_EXPORT void* operator new[](std::size_t size, std::align_val_t a) {
  return allocateAligned(size, a);
}
TAVRENA_EXPORT void operator delete(void* p) noexcept {
  free(p);
}
TAVRENA_EXPORT void operator delete[](void* p) noexcept {
  free(p);
}
TAVRENA_EXPORT void operator delete(void* p, std::size_t) noexcept {
  free(p);
}
TAVRENA_EXPORT void operator delete[](void* p, std::size_t) noexcept {
  free(p);
}
TAVRENA_EXPORT void operator delete(void* p, std::align_val_t) noexcept {
  free(p);
}
TAVRENA_EXPORT void operator delete[](void* p, std::align_val_t) noexcept {
  free(p);
}
TAVRENA_EXPORT void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
  free(p);
}
TAVRENA_EXPORT void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
  free(p);
}

#endif
