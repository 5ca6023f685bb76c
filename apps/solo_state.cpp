#include "solo_state.h"

#include <atomic>

#include "cli_common.h"
#include "generate_input.h"
#include "generator/generate.h"
#include "generator/variant_seed.h"
#include "state/state.h"
#include "theory/config.h"
#include "theory/json_parse.h"

namespace tavrena::cli {

bool isStateDocument(const Json& value) {
  return value.is_object() && (value.contains("config") || value.contains("chords"));
}

Json withVariantSeed(Json configuration, const Json& normalised, std::int64_t slot) {
  if (slot == 0) return configuration;
  const std::int64_t seed = variantSeed(normalised.at("seed"), slot);
  // A bare progression array is a configuration too; give it an object to hold the seed.
  if (configuration.is_array()) configuration = Json{{"progression", configuration}};
  configuration["seed"] = seed;
  return configuration;
}

Json generateSoloState(const Json& input, std::optional<std::int64_t> variant, bool all) {
  static const std::atomic<bool> kNeverCancelled{false};
  Json state = normalizeState(isStateDocument(input) ? input : Json{{"config", input}});
  if (variant) state["variation"] = *variant;
  const Json normalised = normalizeConfig(state.at("config"));
  const auto selected = state.at("variation").get<std::int64_t>();
  for (std::int64_t slot = 0; slot < 3; ++slot) {
    if (!all && slot != selected) continue;
    state["variants"][slot] =
        generateSolo(withVariantSeed(state.at("config"), normalised, slot), kNeverCancelled);
  }
  return normalizeState(std::move(state));
}

Json stateToHear(const Json& input, std::optional<std::int64_t> variant) {
  if (!isStateDocument(input)) return generateSoloState(input, variant, false);
  Json state = normalizeState(input);
  if (variant) state["variation"] = *variant;
  return state;
}

Json readStateToHear(const std::string& file, std::optional<std::int64_t> variant) {
  const std::string text = readGenerateInput(file);
  try {
    return stateToHear(parseJsonText(text), variant);
  } catch (const std::exception& e) {
    throw Refused(e.what());
  }
}

}  // namespace tavrena::cli
