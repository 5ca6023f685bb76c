#pragma once
// What the commands that make a solo (generate, render) read their input as: a
// configuration, or a saved state document.
#include <cstdint>
#include <optional>
#include <string>

#include "theory/json.h"

namespace tavrena::cli {

// A saved state document is recognised by its "config" (or older "chords") key;
// anything else is a configuration.
bool isStateDocument(const Json& value);

// The variant's configuration: its "seed" becomes the slot's seed, worked out
// from the normalised configuration's seed (null or a whole number in range).
Json withVariantSeed(Json configuration, const Json& normalised, std::int64_t slot);

// The normalised state of a configuration, or of a state document's configuration,
// switches and selection, with the selected slot (`variant` when given) or all
// three generated anew, each from its own seed as the plug-in does. Throws the
// input's errors.
Json generateSoloState(const Json& input, std::optional<std::int64_t> variant, bool all);

// The normalised state whose selected variant is heard: a state document with its
// saved notes (as export writes them), or a configuration with the variant
// generated (as generate makes it). `variant` selects a slot other than the saved one.
Json stateToHear(const Json& input, std::optional<std::int64_t> variant);

// stateToHear of a command's input file (as generate reads it: the default phrase
// when `file` is empty). Throws UsageError, and Refused for an input it refuses.
Json readStateToHear(const std::string& file, std::optional<std::int64_t> variant);

}  // namespace tavrena::cli
