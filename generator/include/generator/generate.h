#pragma once
#include <atomic>

#include "theory/json.h"

namespace tavrena {

// One solo variant (array of note objects) for a configuration and its "seed".
// Throws std::runtime_error with the generator's messages, or the configuration's
// errors unchanged. cancelFlag is only read.
Json generateSolo(const Json& configuration, const std::atomic<bool>& cancelFlag);

}  // namespace tavrena
