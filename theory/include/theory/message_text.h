#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace tavrena {

// Longest stretch of a user's text that an error message repeats, in bytes.
inline constexpr std::size_t kMaxEchoBytes = 80;

// A user's text as an error message repeats it: control characters, bidi controls
// (U+200E/F, U+202A-202E, U+2066-2069) as \uXXXX, bytes that are not UTF-8 as \xNN,
// and anything past about kMaxEchoBytes cut at a character boundary and marked with
// "…". Ordinary short texts come back unchanged.
std::string echoText(std::string_view text);

// Path syntax of field names in messages: progression[3].chord, solo.velocity.
std::string fieldPath(std::string_view parent, std::string_view key);
std::string elementPath(std::string_view parent, std::size_t index);

}  // namespace tavrena
