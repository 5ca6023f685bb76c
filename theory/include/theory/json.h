#pragma once
// JSON values of the whole system: the std::map-based kind, so object keys always
// serialise in ascending byte order.
#include <nlohmann/json.hpp>

namespace tavrena {
using Json = nlohmann::json;
}  // namespace tavrena
