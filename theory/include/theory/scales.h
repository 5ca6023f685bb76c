#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "theory/json.h"

namespace tavrena {

// True for the fifteen scale and mode names that a configuration may name.
bool isScaleName(std::string_view name);

// Ascending pitch classes of the scale on root. The name must be a scale name
// (callers check with isScaleName); an unknown name throws std::out_of_range.
std::vector<int> scaleTones(int root, std::string_view name);

// The mode's characteristic interval above its root, or -1.
int modeColorTone(std::string_view name);

struct SegmentMode {
  std::string mode;
  int mode_root = 0;
};

// segment: a segment record with "root", "tones" and the optional "scale" /
// "scale_root" of its progression item.
SegmentMode chooseSegmentMode(const Json& segment, std::string_view harmony,
                              std::string_view globalScale, int keyRoot,
                              const std::vector<int>& globalTones);

// "tonic", "predominant", "dominant", "modal_v" or "other".
const char* harmonicFunction(int root, const std::vector<int>& tones, int keyRoot);

}  // namespace tavrena
