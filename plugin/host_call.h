#pragma once
// Every call the host makes into the module returns a result code: an exception
// that crossed into the host (which may not even be C++) would take it down.
#include <new>
#include <utility>

#include "pluginterfaces/base/funknown.h"

namespace tavrena {

// Runs body and returns its result; running out of memory becomes kOutOfMemory and
// any other exception kResultFalse.
template <typename Body>
Steinberg::tresult hostCall(Body&& body) noexcept {
  try {
    return std::forward<Body>(body)();
  } catch (const std::bad_alloc&) {
    return Steinberg::kOutOfMemory;
  } catch (...) {
    return Steinberg::kResultFalse;
  }
}

}  // namespace tavrena
