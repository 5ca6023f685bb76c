#pragma once
// Typed reads of document fields that fail with the JSON library's own error types
// and texts, prefixed with the field's path ("progression[3].chord: type must be
// string, but is number"), so that a refusal names the offending field.
#include <string>
#include <string_view>

#include "theory/json.h"

namespace tavrena {

// Json::type_error 302: "<path>: type must be <expected>, but is <type>".
[[noreturn]] void throwTypeError(std::string_view path, std::string_view expected,
                                 const Json& value);

// The member key of object (path names the object). Not an object: type_error 304;
// missing: out_of_range 403 "<path>: key '<key>' not found".
const Json& memberAt(const Json& object, std::string_view key, std::string_view path);

const std::string& readString(const Json& value, std::string_view path);
bool readBoolean(const Json& value, std::string_view path);
// Any JSON number as a real; booleans are refused (the library would read 0 or 1).
double readReal(const Json& value, std::string_view path);

}  // namespace tavrena
