#pragma once
#include <cstddef>
#include <string_view>

#include "theory/json.h"

namespace tavrena {

// Deepest nesting of arrays and objects that parseJsonText accepts. Real documents
// stay below ten levels; the cap keeps the recursive copy, compare and dump of a
// parsed value far from the end of any thread's stack.
inline constexpr std::size_t kMaxJsonDepth = 128;

// The one way text becomes a Json value: strict (no comments, nothing after the
// value), at most kMaxJsonDepth levels deep, and no NUL byte anywhere (the library
// would take a NUL as the end of the text and ignore what follows). Failures throw
// the library's Json::parse_error.
Json parseJsonText(std::string_view text);

}  // namespace tavrena
