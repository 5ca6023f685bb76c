#pragma once
// A configuration prepared as the generator sees it.
#include <vector>

#include "theory/config.h"
#include "theory/json.h"
#include "theory/timeline.h"

namespace tavrena::testing {

struct Prepared {
  Json normalised;
  SoloSettings solo;
  std::vector<TimelineSegment> segments;
};

inline Prepared prepare(const Json& config) {
  Prepared p;
  p.normalised = normalizeConfig(config);
  p.solo = readSoloSettings(p.normalised.at("solo"));
  p.segments = readTimeline(p.normalised);
  return p;
}

}  // namespace tavrena::testing
