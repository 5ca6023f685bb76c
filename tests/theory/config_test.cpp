#include "theory/config.h"

#include <gtest/gtest.h>

#include "expect_throw_msg.h"

namespace tavrena {
namespace {

Json withSolo(Json solo) {
  return {{"progression", {"Am"}}, {"solo", std::move(solo)}};
}

void expectRefused(const Json& config, const std::string& message) {
  SCOPED_TRACE(config.dump());
  EXPECT_THROW_MSG(normalizeConfig(config), std::invalid_argument, message);
}

TEST(Config, DefaultDocumentShapeAndTypes) {
  const Json config = defaultConfig();
  EXPECT_EQ(config.size(), 8u);
  EXPECT_FALSE(config.contains("key"));
  EXPECT_FALSE(config.contains("scale"));
  EXPECT_TRUE(config.at("bpm").is_number_integer());
  EXPECT_TRUE(config.at("solo").at("humanize_ms").is_number_integer());
  EXPECT_TRUE(config.at("solo").at("gate").is_number_float());
  EXPECT_EQ(config.at("solo").size(), 20u);
  EXPECT_EQ(config.dump().substr(0, 32), R"({"bpm":120,"harmony":"chord_mode)");
}

TEST(Config, NormalisedOutputHasExactlyFourKeysAndTypedSolo) {
  const Json n = normalizeConfig(defaultConfig());
  EXPECT_EQ(n.size(), 4u);
  EXPECT_EQ(n.at("seed"), 42);
  EXPECT_TRUE(n.at("seed").is_number_integer());
  EXPECT_EQ(n.at("output"), "solo.mid");
  EXPECT_EQ(n.at("bars").size(), 8u);
  const Json& solo = n.at("solo");
  ASSERT_EQ(solo.size(), 20u);
  for (const char* integral : {"low_note", "high_note", "phrase_bars", "velocity", "program",
                               "pitch_bend_range", "articulations_per_phrase"})
    EXPECT_TRUE(solo.at(integral).is_number_integer()) << integral;
  for (const char* real :
       {"density", "rest_probability", "humanize_ms", "gate", "chord_target_probability",
        "run_probability", "motif_variation", "syncopation", "triplet_probability",
        "chromatic_probability", "color_probability"})
    EXPECT_TRUE(solo.at(real).is_number_float()) << real;
  EXPECT_EQ(solo.at("humanize_ms").dump(), "9.0");
  // Integral fields given as reals come back as integers.
  const Json given = normalizeConfig(withSolo({{"velocity", 100.0}, {"humanize_ms", 12}}));
  EXPECT_EQ(given.at("solo").at("velocity").dump(), "100");
  EXPECT_EQ(given.at("solo").at("humanize_ms").dump(), "12.0");
  EXPECT_TRUE(normalizeConfig(Json::array({"C"})).at("seed").is_null());
  EXPECT_TRUE(normalizeConfig({{"progression", {"C"}}, {"seed", nullptr}}).at("seed").is_null());
  EXPECT_EQ(normalizeConfig({{"progression", {"C"}}, {"seed", 7.0}}).at("seed").dump(), "7");
}

TEST(Config, DefaultProgressionModesAndFunctions) {
  const Json bars = normalizeConfig(defaultConfig()).at("bars");
  const std::tuple<const char*, int, const char*> expected[] = {
      {"aeolian", 9, "tonic"},      {"lydian", 5, "other"},
      {"ionian", 0, "other"},       {"mixolydian", 7, "other"},
      {"aeolian", 9, "tonic"},      {"lydian", 5, "other"},
      {"dorian", 2, "predominant"}, {"phrygian_dominant", 4, "dominant"},
  };
  for (std::size_t i = 0; i < 8; ++i) {
    const auto& [mode, root, function] = expected[i];
    EXPECT_EQ(bars[i].at("mode"), mode) << i;
    EXPECT_EQ(bars[i].at("mode_root"), root) << i;
    EXPECT_EQ(bars[i].at("function"), function) << i;
    EXPECT_EQ(bars[i].at("measure_index"), i);
  }
  EXPECT_EQ(bars[7].at("scale_tones"), Json::array({0, 2, 4, 5, 8, 9, 11}));
}

TEST(Config, RealProgressionsInMajorAndPowerChords) {
  const Json cadence = normalizeConfig(Json::array({"C", "F", "G7", "C"})).at("bars");
  const char* modes[] = {"ionian", "lydian", "mixolydian", "ionian"};
  const char* functions[] = {"tonic", "predominant", "dominant", "tonic"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(cadence[i].at("mode"), modes[i]);
    EXPECT_EQ(cadence[i].at("function"), functions[i]);
  }
  // A5's second tone is E, not a minor third: A major, and E5 has no third.
  const Json power = normalizeConfig(Json::array({"A5", "D5", "E5"})).at("bars");
  EXPECT_EQ(power[0].at("function"), "tonic");
  EXPECT_EQ(power[1].at("function"), "predominant");
  EXPECT_EQ(power[2].at("function"), "modal_v");
}

TEST(Config, GlobalHarmonyScaleAndKey) {
  const Json global =
      normalizeConfig({{"progression", {"C", {{"chord", "Dm7"}, {"scale_root", "D"}}, "G", "Am"}},
                       {"harmony", "global"}});
  const int roots[] = {0, 2, 0, 0};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(global["bars"][i].at("mode"), "major");
    EXPECT_EQ(global["bars"][i].at("mode_root"), roots[i]);
  }
  // Default scale comes from the first chord; "key" moves only the root.
  const Json am = normalizeConfig({{"progression", {"Am", "F"}}, {"harmony", "global"}});
  EXPECT_EQ(am["bars"][0].at("mode"), "minor");
  EXPECT_EQ(am["bars"][0].at("mode_root"), 9);
  const Json dMinor =
      normalizeConfig({{"progression", {"Am"}}, {"key", "D"}, {"harmony", "global"}});
  EXPECT_EQ(dMinor["bars"][0].at("mode"), "minor");
  EXPECT_EQ(dMinor["bars"][0].at("mode_root"), 2);
  EXPECT_EQ(dMinor["bars"][0].at("function"), "modal_v");  // a fifth above D, minor third
  const Json nullKey = normalizeConfig({{"progression", {"C", "F"}}, {"key", nullptr}});
  EXPECT_EQ(nullKey["bars"][1].at("function"), "predominant");
}

TEST(Config, TopLevelChecksInOrder) {
  expectRefused(Json::object(), "progression must be a non-empty array");
  expectRefused({{"progression", Json::array()}}, "progression must be a non-empty array");
  expectRefused({{"progression", "C"}}, "progression must be a non-empty array");
  expectRefused(5, "config must be an object");
  expectRefused({{"progression", {"C"}}, {"tempo", 90}}, "config: unknown field tempo");
  // The unknown field is found before anything else is looked at.
  expectRefused({{"zzz", 1}, {"bpm", 1}}, "config: unknown field zzz");
  expectRefused({{"progression", {"C"}}, {"bpm", 19.5}}, "bpm: out of range");
  expectRefused({{"progression", {"C"}}, {"bpm", 400.5}}, "bpm: out of range");
  expectRefused({{"progression", {"C"}}, {"bpm", "120"}}, "bpm: expected number");
  expectRefused({{"progression", {"C"}}, {"bpm", true}}, "bpm: expected number");
  expectRefused({{"progression", {"C"}}, {"bpm", nullptr}}, "bpm: expected number");
  expectRefused({{"progression", {"H"}}, {"bpm", 10}}, "bpm: out of range");
  expectRefused({{"progression", {"H"}}, {"meter", "4/3"}}, "Invalid meter");
  expectRefused({{"progression", {"H"}}, {"repeats", 0}}, "Invalid chord: H");
  expectRefused({{"progression", {"C"}}, {"repeats", 2.5}}, "repeats: out of range");
  expectRefused({{"progression", {"C"}}, {"repeats", 129}}, "repeats: out of range");
  expectRefused({{"progression", {"C"}}, {"repeats", 0}, {"solo", nullptr}},
                "repeats: out of range");
  expectRefused({{"progression", {"C"}}, {"solo", nullptr}, {"seed", -1}},
                "solo must be an object");
  expectRefused({{"progression", {"C"}}, {"seed", -1}, {"scale", "bebop"}}, "seed: out of range");
  expectRefused({{"progression", {"C"}}, {"seed", 9007199254740992.0}}, "seed: out of range");
  expectRefused({{"progression", {"C"}}, {"seed", 0.5}}, "seed: out of range");
  expectRefused({{"progression", {"C"}}, {"seed", "1"}}, "seed: expected number");
  expectRefused({{"progression", {"C"}}, {"scale", "bebop"}, {"key", "H"}}, "Unknown scale");
  expectRefused({{"progression", {"C"}}, {"key", "H"}, {"harmony", "x"}}, "Invalid note: H");
  expectRefused({{"progression", {"C"}}, {"harmony", "modal"}, {"output", ""}}, "Invalid harmony");
  expectRefused({{"progression", {"C"}}, {"output", "  \t\r\n"}},
                "output must be a non-empty path");
  EXPECT_EQ(normalizeConfig({{"progression", {"C"}}, {"seed", 9007199254740991}}).at("seed"),
            9007199254740991);
  EXPECT_EQ(normalizeConfig({{"progression", {"C"}}, {"output", " solo.mid "}}).at("output"),
            " solo.mid ");
  EXPECT_EQ(normalizeConfig({{"progression", {"C"}}, {"repeats", 2.0}}).at("bars").size(), 2u);
}

TEST(Config, WrongTypesAndMissingKeysUseTheLibraryErrorsNamingTheField) {
  const auto typeError = [](const std::string& path, const char* actual) {
    return "[json.exception.type_error.302] " + path + ": type must be string, but is " + actual;
  };
  for (const char* key : {"key", "scale", "harmony", "output"})
    EXPECT_THROW_MSG(normalizeConfig({{"progression", {"C"}}, {key, 3}}), Json::type_error,
                     typeError(key, "number"));
  EXPECT_THROW_MSG(normalizeConfig({{"progression", {"C", "G", "Am", {{"chord", 7}}}}}),
                   Json::type_error, typeError("progression[3].chord", "number"));
  EXPECT_THROW_MSG(normalizeConfig(Json::array({"C", {{"chord", "G"}, {"scale", nullptr}}})),
                   Json::type_error, typeError("progression[1].scale", "null"));
  EXPECT_THROW_MSG(normalizeConfig(Json::array({{{"chord", "G"}, {"scale_root", {1}}}})),
                   Json::type_error, typeError("progression[0].scale_root", "array"));
  EXPECT_THROW_MSG(normalizeConfig(Json::array({"C", {{"bars", 2}}})), Json::out_of_range,
                   "[json.exception.out_of_range.403] progression[1]: key 'chord' not found");
}

TEST(Config, BareArrayIsAProgression) {
  EXPECT_EQ(normalizeConfig(Json::array({"C", "G"})),
            normalizeConfig({{"progression", {"C", "G"}}}));
}

TEST(Config, SoloAliasesAndUnknownFields) {
  EXPECT_EQ(normalizeConfig(withSolo({{"rest_amount", 0.2}}))["solo"]["rest_probability"], 0.2);
  expectRefused(withSolo({{"rest_amount", 0.2}, {"rest_probability", 0.3}}),
                "Duplicate solo alias");
  const std::pair<const char*, const char*> aliases[] = {
      {"chord_tone_weight", "chord_target_probability"},
      {"chromatic_amount", "chromatic_probability"},
      {"modal_color_weight", "color_probability"},
      {"run_amount", "run_probability"},
      {"syncopation_amount", "syncopation"},
      {"triplet_amount", "triplet_probability"},
      {"variation_amount", "motif_variation"},
  };
  for (const auto& [alias, canonical] : aliases)
    EXPECT_EQ(normalizeConfig(withSolo({{alias, 0.5}}))["solo"][canonical], 0.5) << alias;
  expectRefused(withSolo({{"tempo", 1}}), "Unknown solo field: tempo");
  // Duplicates are found before unknown fields; unknown fields before bad values.
  expectRefused(withSolo({{"aaa", 1}, {"run_amount", 1}, {"run_probability", 1}}),
                "Duplicate solo alias");
  expectRefused(withSolo({{"zzz", 1}, {"velocity", 0}}), "Unknown solo field: zzz");
  // An alias whose value is bad is reported under its canonical name.
  expectRefused(withSolo({{"rest_amount", 0.9}}), "solo.rest_probability: out of range");
}

TEST(Config, SoloValuesInTableOrder) {
  expectRefused(withSolo({{"velocity", 100.5}}), "solo.velocity: out of range");
  EXPECT_EQ(normalizeConfig(withSolo({{"humanize_ms", 12.5}}))["solo"]["humanize_ms"], 12.5);
  expectRefused(withSolo({{"low_note", 39}}), "solo.low_note: out of range");
  expectRefused(withSolo({{"high_note", 89}}), "solo.high_note: out of range");
  expectRefused(withSolo({{"density", 0.05}}), "solo.density: out of range");
  expectRefused(withSolo({{"pitch_bend_range", 1}}), "solo.pitch_bend_range: out of range");
  expectRefused(withSolo({{"articulations_per_phrase", 9}}),
                "solo.articulations_per_phrase: out of range");
  expectRefused(withSolo({{"gate", "1"}}), "solo.gate: expected number");
  expectRefused(withSolo({{"gate", false}}), "solo.gate: expected number");
  // Table order: density before velocity, numbers before booleans.
  expectRefused(withSolo({{"velocity", 0}, {"density", 2}}), "solo.density: out of range");
  expectRefused(withSolo({{"bends", 1}, {"program", 128}}), "solo.program: out of range");
  expectRefused(withSolo({{"bends", 1}}), "solo.bends must be boolean");
  expectRefused(withSolo({{"slides", nullptr}}), "solo.slides must be boolean");
  expectRefused(withSolo({{"bends", "no"}, {"slides", 0}}), "solo.bends must be boolean");
  // The octave check comes last, after every value is individually valid.
  expectRefused(withSolo({{"low_note", 60}, {"high_note", 71}}),
                "Note range must span at least an octave");
  expectRefused(withSolo({{"low_note", 60}, {"high_note", 71}, {"bends", 1}}),
                "solo.bends must be boolean");
  EXPECT_NO_THROW(normalizeConfig(withSolo({{"low_note", 60}, {"high_note", 72}})));
}

TEST(Config, CheckNumberAndRequireObjectFields) {
  EXPECT_EQ(checkNumber(Json(3u), "x", 0, 5, true), 3.0);
  EXPECT_EQ(checkNumber(Json(-2), "x", -3, 5, true), -2.0);
  EXPECT_THROW_MSG(checkNumber(Json(true), "x", 0, 5, false), std::invalid_argument,
                   "x: expected number");
  EXPECT_THROW_MSG(checkNumber(Json(std::numeric_limits<double>::infinity()), "x", 0, 5, false),
                   std::invalid_argument, "x: out of range");
  EXPECT_THROW_MSG(checkNumber(Json(std::nan("")), "x", 0, 5, false), std::invalid_argument,
                   "x: out of range");
  EXPECT_THROW_MSG(requireObjectFields(Json::array(), "thing", {"a"}), std::invalid_argument,
                   "thing must be an object");
  EXPECT_THROW_MSG(requireObjectFields({{"b", 1}, {"C", 1}, {"a", 1}}, "thing", {"a"}),
                   std::invalid_argument, "thing: unknown field C");  // 'C' < 'b' in bytes
}

TEST(Config, ReadSoloSettingsReadsEveryField) {
  // Every field away from its default, each to a value no other field holds.
  const Json solo = normalizeConfig(withSolo({{"low_note", 41},
                                              {"high_note", 87},
                                              {"density", 0.5},
                                              {"rest_probability", 0.25},
                                              {"phrase_bars", 3},
                                              {"velocity", 101},
                                              {"humanize_ms", 12.5},
                                              {"gate", 0.625},
                                              {"program", 27},
                                              {"chord_target_probability", 0.125},
                                              {"run_probability", 0.375},
                                              {"motif_variation", 0.875},
                                              {"syncopation", 0.0625},
                                              {"triplet_probability", 0.1875},
                                              {"chromatic_probability", 0.3125},
                                              {"color_probability", 0.4375},
                                              {"bends", false},
                                              {"slides", true},
                                              {"pitch_bend_range", 7},
                                              {"articulations_per_phrase", 5}}))
                        .at("solo");
  const SoloSettings s = readSoloSettings(solo);
  EXPECT_EQ(s.low_note, 41);
  EXPECT_EQ(s.high_note, 87);
  EXPECT_EQ(s.phrase_bars, 3);
  EXPECT_EQ(s.velocity, 101);
  EXPECT_EQ(s.program, 27);
  EXPECT_EQ(s.pitch_bend_range, 7);
  EXPECT_EQ(s.articulations_per_phrase, 5);
  EXPECT_EQ(s.density, 0.5);
  EXPECT_EQ(s.rest_probability, 0.25);
  EXPECT_EQ(s.chord_target_probability, 0.125);
  EXPECT_EQ(s.run_probability, 0.375);
  EXPECT_EQ(s.motif_variation, 0.875);
  EXPECT_EQ(s.syncopation, 0.0625);
  EXPECT_EQ(s.triplet_probability, 0.1875);
  EXPECT_EQ(s.chromatic_probability, 0.3125);
  EXPECT_EQ(s.color_probability, 0.4375);
  EXPECT_EQ(s.humanize_ms, 12.5);
  EXPECT_EQ(s.gate, 0.625);
  EXPECT_FALSE(s.bends);
  EXPECT_TRUE(s.slides);
  const SoloSettings defaults =
      readSoloSettings(normalizeConfig(withSolo(Json::object())).at("solo"));
  EXPECT_EQ(defaults.gate, 0.88);
  EXPECT_EQ(defaults.program, 30);
  EXPECT_TRUE(defaults.bends);
}

TEST(Config, SoloSettingsSchemaListsTheRulesValidationApplies) {
  const Json schema = soloSettingsSchema();
  const Json& fields = schema.at("fields");
  ASSERT_EQ(fields.size(), 20u);
  EXPECT_EQ(fields[0].dump(),
            R"({"default":55,"maximum":88,"minimum":40,"name":"low_note","type":"integer"})");
  EXPECT_EQ(fields[3].dump(),
            R"({"default":0.15,"maximum":0.8,"minimum":0.0,"name":"rest_probability",)"
            R"("type":"real"})");
  EXPECT_EQ(fields[16].dump(), R"({"default":true,"name":"bends","type":"boolean"})");
  EXPECT_EQ(schema.at("aliases").size(), 8u);
  EXPECT_EQ(schema.at("aliases").at("rest_amount"), "rest_probability");
  EXPECT_EQ(schema.at("min_note_span"), 12);

  // The schema's defaults are the default configuration's, and its bounds are the
  // ones validation enforces: the bounds pass, a step beyond them does not, and a
  // fraction is refused exactly for integer fields.
  Json defaults = Json::object();
  for (const Json& f : fields) defaults[f.at("name").get<std::string>()] = f.at("default");
  EXPECT_EQ(defaults, defaultConfig().at("solo"));
  for (const Json& f : fields) {
    const std::string name = f.at("name");
    SCOPED_TRACE(name);
    if (f.at("type") == "boolean") {
      expectRefused(withSolo({{name, 0}}), "solo." + name + " must be boolean");
      continue;
    }
    const auto tryValue = [&](double value) {
      try {
        normalizeConfig(withSolo({{name, value}}));
        return std::string("ok");
      } catch (const std::invalid_argument& e) {
        // A note at its bound may leave less than an octave: that value passed its own check.
        const std::string message = e.what();
        return message == "Note range must span at least an octave" ? "ok" : message;
      }
    };
    const double minimum = f.at("minimum");
    const double maximum = f.at("maximum");
    const std::string outOfRange = "solo." + name + ": out of range";
    EXPECT_EQ(tryValue(maximum), "ok");
    EXPECT_EQ(tryValue(minimum), "ok");
    EXPECT_EQ(tryValue(maximum + 0.01), outOfRange);
    EXPECT_EQ(tryValue(minimum - 0.01), outOfRange);
    EXPECT_EQ(tryValue(minimum + 0.5), f.at("type") == "integer" ? outOfRange : "ok");
  }
}

}  // namespace
}  // namespace tavrena
