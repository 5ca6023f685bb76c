#pragma once
// Very deep JSON values for the tests of nesting limits, built without recursion.
#include <cstddef>
#include <utility>

#include "theory/json.h"

namespace tavrena::testing {

// {"a":{"a":...{}...}}, depth objects deep.
inline Json nestedObjects(std::size_t depth) {
  Json value = Json::object();
  for (std::size_t i = 0; i < depth; ++i) {
    Json outer = Json::object();
    outer["a"] = std::move(value);
    value = std::move(outer);
  }
  return value;
}

}  // namespace tavrena::testing
