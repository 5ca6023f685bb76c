#pragma once
// The state document on the host's IBStream: only the plug-in links this.
#include "pluginterfaces/base/ibstream.h"
#include "state/state.h"

namespace tavrena {

// Reads, parses and normalises a whole state stream; on success swaps the result
// into out. Never throws; on failure returns false and leaves out untouched.
bool readStateStream(Steinberg::IBStream* stream, Json& out);

// Writes the state as compact UTF-8 JSON in one write call.
Steinberg::tresult writeStateStream(Steinberg::IBStream* stream, const Json& state);

}  // namespace tavrena
