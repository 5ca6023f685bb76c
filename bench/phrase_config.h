#pragma once
#include <cstddef>

#include "theory/config.h"

namespace tavrena::bench {

// The default configuration with its progression repeated to `bars` bars.
inline Json defaultConfigOfBars(int bars) {
  Json config = defaultConfig();
  const Json chords = config["progression"];
  Json progression = Json::array();
  for (int i = 0; i < bars; ++i)
    progression.push_back(chords[static_cast<std::size_t>(i) % chords.size()]);
  config["progression"] = progression;
  return config;
}

}  // namespace tavrena::bench
