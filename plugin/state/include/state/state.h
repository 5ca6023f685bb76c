#pragma once
// The state document the plug-in persists and every host reads: JSON only, no SDK.
#include <cstddef>
#include <string>

#include "theory/json.h"

namespace tavrena {

inline constexpr std::size_t kMaxStateBytes = 268435456;  // 256 MiB
inline constexpr std::size_t kMaxNotesPerVariant = 2100000;

// Validates a state document (older layout included) and returns a fresh one in
// the current layout (version 2). Throws; never partially succeeds.
Json normalizeState(const Json& input);
// The same for a document the caller gives up (a freshly parsed stream, say): its
// configuration and notes are moved into the result instead of being copied.
Json normalizeState(Json&& input);

struct NormalisedState {
  Json state;
  Json config;  // normalizeConfig of state["config"], which normalising had to compute
};
// normalizeState, also handing out the normalised configuration, for callers that
// need both (the MIDI file writer) without normalising the configuration twice.
NormalisedState normalizeStateWithConfig(const Json& input);

Json defaultState();

// Compact JSON with sorted keys and raw UTF-8, as persisted.
std::string serializeState(const Json& state);

}  // namespace tavrena
