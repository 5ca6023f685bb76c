#pragma once
#include "theory/json.h"

namespace tavrena {

// Every rule of a configuration document for an editor that checks a document itself
// before it sends it (the editor page's schema.js is generated from it):
// {"config" and "item": {"keys" allowed, "fields": {key: rule}, "message", "unknown_message"},
//  "default_config", "solo" (soloSettingsSchema() plus its message keys), "meter",
//  "notes", "scales", "chord_qualities", "blanks", "ticks_per_quarter", "limits"}.
// A field rule: "type" (number, meter, note, scale, choice, path, chord, progression,
// solo), "message" (the key naming the message a broken rule shows), and as it applies
// "minimum", "maximum", "integral", "default", "nullable" (null counts as absent), "values".
Json configurationSchema();

}  // namespace tavrena
