#pragma once
// Counts calls of the global allocation functions (operator new/delete and the
// malloc family) of this executable. They are exported, so a module loaded with
// dlopen binds to them too and its allocations are counted alike.
#include <cstdint>

namespace tavrena::testing {

// False in sanitizer builds, where the sanitizer owns the allocation functions.
bool allocationCountingAvailable();

void startCountingAllocations();
// Stops counting; returns the calls seen since the start.
std::int64_t stopCountingAllocations();

}  // namespace tavrena::testing
