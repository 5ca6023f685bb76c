// The published schema tells the truth about the validator: every rule it states is
// the rule normalizeConfig, parseChordSymbol and scaleTones apply.
#include "theory/config_schema.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "expect_throw_msg.h"
#include "theory/chords.h"
#include "theory/config.h"
#include "theory/scales.h"

namespace tavrena {
namespace {

const Json& schema() {
  static const Json value = configurationSchema();
  return value;
}

// {"progression": ["C"]} with one field set, at the top or in the single item.
Json withField(bool inItem, const std::string& key, const Json& value) {
  Json config = {{"progression", {{{"chord", "C"}}}}};
  if (inItem)
    config["progression"][0][key] = value;
  else
    config[key] = value;
  return config;
}

TEST(ConfigSchema, NumberRulesAreTheBoundsTheValidatorApplies) {
  for (const bool inItem : {false, true}) {
    for (const auto& [key, rule] : schema()[inItem ? "item" : "config"]["fields"].items()) {
      if (rule["type"] != "number") continue;
      const double low = rule["minimum"].get<double>();
      const double high = rule["maximum"].get<double>();
      SCOPED_TRACE(key);
      EXPECT_NO_THROW(normalizeConfig(withField(inItem, key, low)));
      EXPECT_NO_THROW(normalizeConfig(withField(inItem, key, high)));
      const std::string name = inItem && key == "bpm" ? "chord bpm" : key;
      for (const double outside : {low - 0.001, high * 1.001 + 0.001})
        EXPECT_THROW_MSG(normalizeConfig(withField(inItem, key, outside)), std::invalid_argument,
                         name + ": out of range");
      if (rule["integral"].get<bool>())
        EXPECT_THROW_MSG(normalizeConfig(withField(inItem, key, low + 0.5)), std::invalid_argument,
                         name + ": out of range");
    }
  }
}

TEST(ConfigSchema, NamesAndDefaultsAreTheValidatorsOwn) {
  const Json& s = schema();
  EXPECT_EQ(s["default_config"], defaultConfig());
  for (const Json& key : s["config"]["keys"]) {
    EXPECT_EQ(s["config"]["fields"].count(key.get<std::string>()), 1u);
  }
  for (const Json& harmony : s["config"]["fields"]["harmony"]["values"])
    EXPECT_NO_THROW(normalizeConfig(withField(false, "harmony", harmony)));
  EXPECT_THROW_MSG(normalizeConfig(withField(false, "solo", {{"low_note", 72}, {"high_note", 83}})),
                   std::invalid_argument, "Note range must span at least an octave");
  EXPECT_EQ(s["solo"]["min_note_span"], 12);
  // Every metre the schema allows is read, and one past either end is not.
  for (int n = 1; n <= s["meter"]["max_numerator"].get<int>(); ++n)
    for (const Json& d : s["meter"]["denominators"])
      EXPECT_NO_THROW(normalizeConfig(
          withField(false, "meter", std::to_string(n) + "/" + std::to_string(d.get<int>()))));
  EXPECT_THROW_MSG(normalizeConfig(withField(false, "meter", "33/4")), std::invalid_argument,
                   "Invalid meter");
}

TEST(ConfigSchema, NotesScalesAndQualitiesAreTheTheoryTables) {
  const Json& notes = schema()["notes"];
  for (int pc = 0; pc < 12; ++pc) {
    EXPECT_EQ(parseNoteName(notes["sharp"][pc].get<std::string>()), pc);
    EXPECT_EQ(parseNoteName(notes["flat"][pc].get<std::string>()), pc);
  }
  EXPECT_EQ(notes["sharp"][1], "C#");  // worked examples, not the table restated
  EXPECT_EQ(notes["flat"][10], "Bb");

  for (const Json& scale : schema()["scales"]) {
    const std::string name = scale["name"];
    EXPECT_EQ(scaleTones(0, name), scale["intervals"].get<std::vector<int>>()) << name;
  }
  // Each quality on D: the parser's tones are D plus the published intervals, in order.
  for (const Json& quality : schema()["chord_qualities"]) {
    std::vector<int> expected;
    for (const Json& interval : quality["intervals"])
      expected.push_back((2 + interval.get<int>()) % 12);
    EXPECT_EQ(parseChordSymbol("D" + quality["name"].get<std::string>()).tones, expected)
        << quality["name"];
    if (quality.contains("spelling_of")) {
      EXPECT_EQ(parseChordSymbol("D" + quality["name"].get<std::string>()).tones,
                parseChordSymbol("D" + quality["spelling_of"].get<std::string>()).tones);
    }
  }
}

}  // namespace
}  // namespace tavrena
