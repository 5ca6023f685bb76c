// normalizeState: the fields it derives, every refusal with its exact text and the
// order in which the checks run, the older layout, and the serialised form.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <typeinfo>
#include <vector>

#include "deep_json.h"
#include "state/state.h"
#include "theory/config.h"

namespace tavrena {
namespace {

Json parse(const char* text) {
  return Json::parse(text);
}

Json note(double start, double length, int pitch, int velocity) {
  return {{"start", start}, {"length", length}, {"pitch", pitch}, {"velocity", velocity}};
}

// A one-bar C major phrase (4 quarter notes) with the given variant 0.
Json oneBar(Json variant0) {
  return {{"config", {{"progression", {"C"}}}},
          {"variants", Json::array({std::move(variant0), Json::array(), Json::array()})}};
}

// "ok", or the refusal's text. Our own texts must come as exactly
// std::invalid_argument, the JSON library's from its own exception types.
std::string verdict(const Json& input) {
  try {
    normalizeState(input);
    return "ok";
  } catch (const Json::exception& e) {
    return e.what();
  } catch (const std::invalid_argument& e) {
    return typeid(e) == typeid(std::invalid_argument) ? e.what()
                                                      : "subclass: " + std::string(e.what());
  } catch (const std::out_of_range& e) {
    return "out_of_range: " + std::string(e.what());
  }
}

std::string noteVerdict(const char* noteText) {
  return verdict(oneBar(Json::array({parse(noteText)})));
}

// The library's type error, naming the field.
std::string typeError(const std::string& path, const char* expected, const char* actual) {
  return "[json.exception.type_error.302] " + path + ": type must be " + expected + ", but is " +
         actual;
}

TEST(NormalizeState, EmptyObjectGivesTheDefaultPhrase) {
  const Json state = normalizeState(Json::object());
  EXPECT_EQ(state, defaultState());
  EXPECT_EQ(state.size(), 14u);
  EXPECT_EQ(state.at("config"), defaultConfig());
  for (const char* key : {"bpm", "total"}) EXPECT_TRUE(state.at(key).is_number_float()) << key;
  EXPECT_EQ(state.at("total"), 32.0);
  const Json header = {
      {"bars", 8},        {"bpm", 120.0},
      {"denominator", 4}, {"loop", true},
      {"numerator", 4},   {"randomSeed", false},
      {"sync", false},    {"variation", 0},
      {"version", 2},     {"variants", {Json::array(), Json::array(), Json::array()}}};
  for (const auto& [key, value] : header.items()) EXPECT_EQ(state.at(key), value) << key;
  const char* names[] = {"Am", "F", "C", "G", "Am", "F", "Dm", "E7"};
  for (std::size_t i = 0; i < 8; ++i)
    EXPECT_EQ(state.at("chords")[i],
              Json({{"length", 4.0}, {"name", names[i]}, {"start", 4.0 * i}}));
  EXPECT_EQ(state.at("timeline")[7], parse(R"({"bpm": 120.0, "function": "dominant", "length": 4.0,
      "meter": [4, 4], "mode": "phrygian_dominant", "mode_root": 4, "start": 28.0})"));
}

TEST(NormalizeState, SerialisesCompactSortedRawUtf8AndShortestReals) {
  // Hand-written: keys in byte order, no blanks, reals with their ".0", raw UTF-8.
  const Json state = normalizeState(parse(R"({"version": 7, "extra": 1, "variants": [[
      {"start": 0.1, "length": 0.3333333333333333, "pitch": 60, "velocity": 100}], [], []],
      "config": {"progression": ["C"], "harmony": "global", "output": "Соло.mid"}})"));
  EXPECT_EQ(serializeState(state),
            R"({"bars":1,"bpm":120.0,"chords":[{"length":4.0,"name":"C","start":0.0}],)"
            R"("config":{"harmony":"global","output":"Соло.mid","progression":["C"]},)"
            R"("denominator":4,"loop":true,"numerator":4,"randomSeed":false,"sync":false,)"
            R"("timeline":[{"bpm":120.0,"function":"tonic","length":4.0,"meter":[4,4],)"
            R"("mode":"major","mode_root":0,"start":0.0}],"total":4.0,"variants":[[{"length":)"
            R"(0.3333333333333333,"pitch":60,"start":0.1,"velocity":100}],[],[]],"variation":0,)"
            R"("version":2})");
}

TEST(NormalizeState, RebuildsDerivedFieldsFromTheConfiguration) {
  // Half a bar, a 3/4 bar (a new measure), 2.5 bars of 6/8 at another tempo; the
  // input's own derived fields and unknown keys are ignored.
  const Json state = normalizeState(parse(R"({"bars": 99, "total": 1.5, "bpm": 60, "x": 1,
      "config": {"progression": [{"chord": " C ", "bars": 0.5}, {"chord": "G", "meter": "3/4"},
      {"chord": "Am", "bars": 2.5, "meter": "6/8", "bpm": 90.5}]}})"));
  std::vector<double> starts, lengths;
  for (const Json& c : state.at("chords")) {
    starts.push_back(c.at("start").get<double>());
    lengths.push_back(c.at("length").get<double>());
  }
  EXPECT_EQ(starts, (std::vector<double>{0.0, 2.0, 5.0, 8.0, 11.0}));
  EXPECT_EQ(lengths, (std::vector<double>{2.0, 3.0, 3.0, 3.0, 1.5}));
  EXPECT_EQ(state.at("total"), 12.5);
  EXPECT_EQ(state.at("bars"), 5);
  EXPECT_EQ(state.at("bpm"), 120.0);  // the header fields describe the first segment
  EXPECT_EQ(state.at("chords")[0].at("name"), " C ");  // blanks kept
  EXPECT_EQ(state.at("timeline")[4].at("bpm"), 90.5);
  EXPECT_FALSE(state.contains("x"));
  // A bare array is a progression; the configuration is kept as written.
  EXPECT_EQ(normalizeState(parse(R"({"config": ["Am"]})")).at("config"),
            parse(R"({"progression": ["Am"]})"));
}

TEST(NormalizeState, RefusalsCarryTheirExactTexts) {
  Json badUtf8 = oneBar(Json::array());
  badUtf8["config"]["output"] = std::string("s\xC3.mid");
  EXPECT_EQ(verdict(badUtf8),
            "[json.exception.type_error.316] invalid UTF-8 byte at index 2: 0x2E");
  const std::pair<const char*, std::string> rows[] = {
      {"[]", "State must be an object"},
      {"null", "State must be an object"},
      {"5", "State must be an object"},
      {R"({"variation": 3})", "variation"},
      {R"({"variation": -1})", "variation"},
      {R"({"variation": 1.0})", "variation"},
      {R"({"variation": true})", "variation"},
      {R"({"variation": 4294967296})", "variation"},  // would wrap to 0
      {R"({"variation": 18446744073709551614})", "variation"},
      {R"({"variation": 2})", "ok"},
      {R"({"variation": "1"})", typeError("variation", "number", "string")},
      {R"({"variation": null})", typeError("variation", "number", "null")},
      {R"({"sync": 1})", typeError("sync", "boolean", "number")},
      {R"({"loop": null})", typeError("loop", "boolean", "null")},
      {R"({"randomSeed": "yes"})", typeError("randomSeed", "boolean", "string")},
      {R"({"variants": [[], []]})", "variants"},
      {R"({"variants": [[], [], [], []]})", "variants"},
      {R"({"variants": {}})", "variants"},
      {R"({"variants": [[], {}, []]})", "variants[1]: notes"},
      {R"({"variants": [[], [], null]})", "variants[2]: notes"},
      {R"({"config": {"progression": []}})", "progression must be a non-empty array"},
      {R"({"config": 5})", "config must be an object"},
      {R"({"config": {"progression": ["C"], "scale": "x"}})", "Unknown scale"},
  };
  for (const auto& [text, expected] : rows) EXPECT_EQ(verdict(parse(text)), expected) << text;
}

TEST(NormalizeState, ChecksRunInTheirFixedOrder) {
  // Configuration, then sync, loop, randomSeed, variation types, then the
  // "variation" range, then "variants" one variant at a time.
  const std::pair<const char*, std::string> rows[] = {
      {R"({"config": [], "sync": 1, "variation": 9})", "progression must be a non-empty array"},
      {R"({"sync": 1, "loop": "x"})", typeError("sync", "boolean", "number")},
      {R"({"loop": "x", "randomSeed": 1})", typeError("loop", "boolean", "string")},
      {R"({"randomSeed": 1, "variation": "1"})", typeError("randomSeed", "boolean", "number")},
      {R"({"variation": 5, "randomSeed": 1})", typeError("randomSeed", "boolean", "number")},
      {R"({"variation": 5, "variants": []})", "variation"},
      {R"({"config": ["C"], "variants": [[{"start": 4, "length": 1, "pitch": 60, "velocity": 9}],
          {}, []]})",
       "note duration"},
      {R"({"config": ["C"], "variants": [[], {}, [{"start": 0, "length": 1, "pitch": 60,
          "velocity": 0}]]})",
       "variants[1]: notes"},
  };
  for (const auto& [text, expected] : rows) EXPECT_EQ(verdict(parse(text)), expected) << text;
}

TEST(NormalizeState, NoteChecks) {
  // The phrase lasts 4 quarter notes; one tick is 0.0020833333333333333.
  const std::pair<const char*, std::string> rows[] = {
      {R"({"start": 0, "length": 4, "pitch": 60, "velocity": 90})", "ok"},
      {R"({"start": 3, "length": 1.0000005, "pitch": 60, "velocity": 90})", "ok"},
      {R"({"start": 3, "length": 1.000002, "pitch": 60, "velocity": 90})", "note duration"},
      {R"({"start": 4, "length": 0.5, "pitch": 60, "velocity": 90})", "note duration"},
      {R"({"start": 1, "length": 0.0020833333333333333, "pitch": 0, "velocity": 1})", "ok"},
      {R"({"start": 1, "length": 0.002, "pitch": 60, "velocity": 90})", "note duration"},
      {R"({"start": -0.001, "length": 1, "pitch": 60, "velocity": 90})", "note duration"},
      {R"({"start": 0, "length": 1, "pitch": 127, "velocity": 127})", "ok"},
      {R"({"start": 0, "length": 1, "pitch": 60, "velocity": 0})", "note"},
      {R"({"start": 0, "length": 1, "pitch": 128, "velocity": 90})", "note"},
      {R"({"start": 0, "length": 1, "pitch": -1, "velocity": 90})", "note"},
      {R"({"start": 0, "length": 1, "pitch": 60.0, "velocity": 90})", "note"},
      {R"({"start": 0, "length": 1, "pitch": true, "velocity": 90})", "note"},
      {R"({"start": 0, "length": 1, "pitch": 4294967356, "velocity": 90})", "note"},  // 2^32 + 60
      {R"({"start": 0, "length": 1, "pitch": 60})",
       "[json.exception.out_of_range.403] variants[0][0]: key 'velocity' not found"},
      // Order: start, length, the duration rule, both keys, then their values.
      {R"({"length": "x"})",
       "[json.exception.out_of_range.403] variants[0][0]: key 'start' not found"},
      {R"({"start": -1, "length": 1, "pitch": 999})", "note duration"},
      {R"({"start": 0, "length": 1, "pitch": 60.0})",
       "[json.exception.out_of_range.403] variants[0][0]: key 'velocity' not found"},
      {R"({"start": "0", "length": 1, "pitch": 60, "velocity": 90})",
       typeError("variants[0][0].start", "number", "string")},
      {R"({"start": 0, "length": true, "pitch": 60, "velocity": 90})",
       typeError("variants[0][0].length", "number", "boolean")},
      {"5", "[json.exception.type_error.304] variants[0][0]: cannot use at() with number"},
  };
  for (const auto& [text, expected] : rows) EXPECT_EQ(noteVerdict(text), expected) << text;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (auto [start, length] : {std::pair{nan, 1.0}, {0.0, nan}, {0.0, inf}})
    EXPECT_EQ(verdict(oneBar(Json::array({note(start, length, 60, 90)}))), "note duration");
}

TEST(NormalizeState, NotesAreSortedStablyAndStrippedToFourKeys) {
  const Json variant = normalizeState(oneBar(parse(R"([
      {"start": 2, "length": 0.5, "pitch": 64, "velocity": 90, "bend": "up"},
      {"start": 0, "length": 1, "pitch": 60, "velocity": 80, "slide": 2},
      {"start": 2, "length": 0.25, "pitch": 67, "velocity": 70}])")))
                           .at("variants")[0];
  EXPECT_EQ(serializeState(variant), R"([{"length":1.0,"pitch":60,"start":0.0,"velocity":80},)"
                                     R"({"length":0.5,"pitch":64,"start":2.0,"velocity":90},)"
                                     R"({"length":0.25,"pitch":67,"start":2.0,"velocity":70}])");
}

TEST(NormalizeState, SizeLimits) {
  // The count is checked before any note is read: at the limit the first (null)
  // element is reached, one more is refused outright.
  Json input = {{"variants", {Json::array(), Json::array(), Json::array()}}};
  input["variants"][1] = Json::array_t(kMaxNotesPerVariant, Json());
  EXPECT_EQ(verdict(input),
            "[json.exception.type_error.304] variants[1][0]: cannot use at() with null");
  input["variants"][1].push_back(nullptr);
  EXPECT_EQ(verdict(input), "variants[1]: notes");

  // "output" is copied as written, which grows the text to an exact size; two notes
  // make the length near the limit depend on how notes are written.
  input = oneBar(Json::array({note(0.1, 0.125, 60, 100), note(2.0 / 3.0, 1.5, 64, 7)}));
  input["config"]["output"] = std::string(1000, 'x');
  const std::size_t base = serializeState(normalizeState(input)).size() - 1000;
  input["config"]["output"] = std::string(kMaxStateBytes - base, 'x');  // exactly the limit
  EXPECT_EQ(verdict(input), "ok");
  input["config"]["output"].get_ref<std::string&>().push_back('x');
  EXPECT_EQ(verdict(input), "State too large");
}

using testing::nestedObjects;

TEST(NormalizeState, DeepConfigurationsAreRefusedWithoutBeingCopied) {
  // 58,000 levels once overflowed the stack while the configuration was copied.
  Json input = {{"config", {{"progression", {"C"}}, {"solo", nestedObjects(58000)}}}};
  EXPECT_EQ(verdict(input), "Unknown solo field: a");
  EXPECT_THROW(normalizeState(std::move(input)), std::invalid_argument);
  input = {{"config", nestedObjects(58000)}};
  EXPECT_EQ(verdict(input), "config: unknown field a");
  input = {{"config", Json::array({"C", nestedObjects(58000)})}};
  EXPECT_EQ(verdict(input), "progression item: unknown field a");
  // Deep members the state does not know are dropped, not copied.
  input = {{"extra", nestedObjects(58000)}, {"config", {"C"}}};
  EXPECT_EQ(normalizeState(input).at("bars"), 1);
  EXPECT_EQ(normalizeState(std::move(input)).at("bars"), 1);
}

TEST(NormalizeState, HugeChordNamesAreRefusedWithAShortMessage) {
  // A saved state with a 60,000-character chord name once crashed a host in setState.
  std::string name(60000, 'm');
  name[0] = 'A';
  EXPECT_EQ(verdict({{"config", {name}}}),
            "Unsupported chord: A" + std::string(79, 'm') + "\u2026");
  EXPECT_EQ(verdict({{"chords", {{{"name", "\u202EC"}}}}}), "Invalid chord: \\u202eC");
}

TEST(NormalizeState, OlderLayout) {
  const Json state = normalizeState(parse(R"({"chords": [{"name": "C"}, {"name": "G", "x": 1}],
      "bpm": 100, "numerator": 3, "denominator": 4, "sync": true, "variation": 1,
      "variants": [[], [{"start": 1, "length": 1, "pitch": 60, "velocity": 90}], []]})"));
  Json expected = defaultConfig();
  expected["progression"] = {"C", "G"};
  expected["bpm"] = 100.0;
  expected["meter"] = "3/4";
  EXPECT_EQ(state.at("config"), expected);
  EXPECT_TRUE(state.at("config").at("bpm").is_number_float());
  EXPECT_EQ(state.at("total"), 6.0);
  EXPECT_EQ(state.at("sync"), true);
  EXPECT_EQ(state.at("variants")[1].size(), 1u);

  auto config = [](const char* text) { return normalizeState(parse(text)).at("config"); };
  EXPECT_EQ(config(R"({"chords": [{"name": "Dm"}]})").at("seed"), 42);
  EXPECT_EQ(config(R"({"chords": [{"name": "Dm"}]})").at("meter"), "4/4");
  EXPECT_EQ(config(R"({"config": ["F"], "chords": [{"name": "C"}]})"),
            parse(R"({"progression": ["F"]})"));
  // Reals are truncated as an integer read does, but nothing beyond 32 bits wraps:
  // 2^32 + 42 is not seed 42, and 2^32 + 3 is not a numerator 3.
  EXPECT_EQ(config(R"({"chords": [{"name": "C"}], "seed": 42.9, "numerator": 3.5})").at("meter"),
            "3/4");
  EXPECT_EQ(config(R"({"chords": [{"name": "C"}], "seed": 42.9})").at("seed"), 42);
  EXPECT_EQ(config(R"({"chords": [{"name": "C"}], "seed": 4294967338})").at("seed"), 4294967338u);

  const std::pair<const char*, std::string> refused[] = {
      {R"({"chords": [{"name": "C"}], "numerator": 4294967299})",
       "out_of_range: stoi argument out of range"},
      {R"({"chords": [{"name": "C"}], "denominator": 1e300})", "meter must be N/D"},
      {R"({"chords": [{"name": "C"}], "seed": -1})", "seed: out of range"},
      {R"({"chords": [{"name": "C"}, {"label": "C"}]})",
       "[json.exception.out_of_range.403] chords[1]: key 'name' not found"},
      {R"({"chords": ["C"]})",
       "[json.exception.type_error.304] chords[0]: cannot use at() with string"},
      {R"({"chords": "C"})", typeError("chords", "array", "string")},
      {R"({"chords": [{"name": "C"}], "bpm": "fast"})", typeError("bpm", "number", "string")},
      {R"({"chords": [{"name": "C"}], "seed": "42"})", typeError("seed", "number", "string")},
      {R"({"chords": [{"name": {"bars": 2}}]})",
       "[json.exception.out_of_range.403] progression[0]: key 'chord' not found"},
      {R"({"chords": [], "sync": 1})", "progression must be a non-empty array"},
      {R"({"chords": [{"name": "C"}], "bpm": 1000})", "bpm: out of range"},
  };
  for (const auto& [text, expected] : refused) EXPECT_EQ(verdict(parse(text)), expected) << text;
}

TEST(NormalizeState, NormalisingTwiceAndTakingTheDocumentOverChangeNothing) {
  std::vector<Json> inputs = {
      Json::object(),
      parse(R"({"chords": [{"name": "C"}, {"name": "G7"}], "numerator": 6, "denominator": 8,
                "bpm": 133.3, "seed": 4294967338, "loop": false})"),
      parse(R"({"config": {"progression": [{"chord": " Am ", "bars": 0.75}, {"chord": "F",
                "meter": "7/8", "bpm": 77.7}], "repeats": 3, "output": "Мелодия.mid"},
                "randomSeed": true, "variation": 2, "variants": [[{"start": 1.0000000000000002,
                "length": 0.0020833333333333333, "pitch": 60, "velocity": 64}], [], []]})"),
  };
  // The overload that takes a document over reuses its notes when they have exactly
  // the four keys; integer times, extra keys and disorder must come out the same.
  for (const char* variant :
       {R"([{"start": 2, "length": 1, "pitch": 64, "velocity": 90, "bend": 2},
            {"velocity": 1, "start": 1, "pitch": 127, "length": 0.5}])",
        R"([{"start": 0, "length": 1, "pitch": 60, "velocity": 90}, {"start": 1, "length": 1}])",
        R"([{"start": 0, "length": 1, "pitch": 60, "velocity": 90},
            {"start": 1, "length": 1, "pitch": 60.0, "velocity": 90}])"})
    inputs.push_back(oneBar(parse(variant)));
  for (const Json& input : inputs) {
    const std::string expected = verdict(input);
    std::string owned;
    try {
      owned = serializeState(normalizeState(Json(input)));
    } catch (const std::exception& e) {
      owned = e.what();
    }
    if (expected != "ok") {
      EXPECT_EQ(owned, expected) << input;
      continue;
    }
    const Json once = normalizeState(input);
    EXPECT_EQ(owned, serializeState(once)) << input;
    EXPECT_EQ(normalizeState(once), once) << input;
    EXPECT_EQ(normalizeState(Json::parse(serializeState(once))), once);
    const NormalisedState both = normalizeStateWithConfig(input);
    EXPECT_EQ(both.state, once);
    EXPECT_EQ(both.config, normalizeConfig(once.at("config")));
  }
}

}  // namespace
}  // namespace tavrena
