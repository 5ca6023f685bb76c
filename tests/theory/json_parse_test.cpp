// parseJsonText, and the normalisers given documents far deeper than any real one:
// each of these once ended the process with a stack overflow.
#include "theory/json_parse.h"
#include "deep_json.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "deep_json.h"
#include "expect_throw_msg.h"
#include "theory/config.h"

namespace tavrena {
namespace {

std::string nestedArrays(std::size_t depth) {
  return std::string(depth, '[') + std::string(depth, ']');
}

using testing::nestedObjects;

TEST(ParseJsonText, AcceptsStrictJsonUpToTheDepthLimit) {
  EXPECT_EQ(parseJsonText(R"({"b": [1, 2.5, "x"], "a": null})"),
            Json::parse(R"({"a": null, "b": [1, 2.5, "x"]})"));
  EXPECT_EQ(parseJsonText(" 7 "), 7);
  EXPECT_EQ(parseJsonText(nestedArrays(kMaxJsonDepth)).dump(), nestedArrays(kMaxJsonDepth));
  // Brackets inside strings are not nesting.
  EXPECT_EQ(parseJsonText(R"(["[[[{{{", "\"]"])").size(), 2u);
}

TEST(ParseJsonText, RefusesDeeperNestingNamingTheLimitAndPosition) {
  EXPECT_THROW_MSG(parseJsonText(nestedArrays(kMaxJsonDepth + 1)), Json::parse_error,
                   "[json.exception.parse_error.101] parse error at byte 129: syntax error - "
                   "nesting deeper than 128 levels");
  std::string objects;
  for (int i = 0; i < 200; ++i) objects += R"({"[{": )";
  EXPECT_THROW_MSG(parseJsonText(objects), Json::parse_error,
                   "[json.exception.parse_error.101] parse error at byte 897: syntax error - "
                   "nesting deeper than 128 levels");
  // A 260 KB file of 130,000 levels.
  EXPECT_THROW(parseJsonText(nestedArrays(130000)), Json::parse_error);
  // A document that is merely wrong still gets the library's own message.
  EXPECT_THROW_MSG(parseJsonText("[[1,]]"), Json::parse_error,
                   "[json.exception.parse_error.101] parse error at line 1, column 5: syntax "
                   "error while parsing value - unexpected ']'; expected '[', '{', or a literal");
}

TEST(ParseJsonText, RefusesNulBytesTrailingTextAndComments) {
  using namespace std::string_literals;
  const std::string nulRefusal =
      "[json.exception.parse_error.101] parse error at byte 9: syntax error - NUL byte (U+0000) "
      "in the JSON text";
  EXPECT_THROW_MSG(parseJsonText("{\"a\": 1}\0 junk"s), Json::parse_error, nulRefusal);
  EXPECT_THROW_MSG(parseJsonText("{\"a\": 1}\0"s), Json::parse_error, nulRefusal);
  EXPECT_THROW(parseJsonText("[\"a\0b\"]"s), Json::parse_error);
  for (const char* text : {"", " ", "{} x", "[1] // c", "/* c */ 1", "{}{}", "[1]]", "nul"})
    EXPECT_THROW(parseJsonText(text), Json::parse_error) << text;
}

TEST(DeepDocuments, AreDestroyedWithoutRecursion) {
  Json deep = nestedObjects(1000000);
  Json array = Json::array();
  for (int i = 0; i < 1000000; ++i) {
    Json outer = Json::array();
    outer.push_back(std::move(array));
    array = std::move(outer);
  }
  deep = nullptr;
  array = nullptr;
  SUCCEED();
}

TEST(DeepDocuments, AreRefusedByNormalizeConfigWithoutBeingCopied) {
  // 58,000 levels in "solo" or in a progression item are read where they lie.
  Json config = {{"progression", {"C"}}};
  config["solo"] = {{"velocity", nestedObjects(58000)}};
  EXPECT_THROW_MSG(normalizeConfig(config), std::invalid_argument,
                   "solo.velocity: expected number");
  config["solo"] = {{"deep", nestedObjects(58000)}};
  EXPECT_THROW_MSG(normalizeConfig(config), std::invalid_argument, "Unknown solo field: deep");
  config["solo"] = nestedObjects(58000);
  EXPECT_THROW_MSG(normalizeConfig(config), std::invalid_argument, "Unknown solo field: a");
  config.erase("solo");
  config["progression"] = Json::array({{{"chord", nestedObjects(58000)}}});
  EXPECT_THROW_MSG(normalizeConfig(config), Json::type_error,
                   "[json.exception.type_error.302] progression[0].chord: type must be string, "
                   "but is object");
  config["progression"] = Json::array({"C", {{"chord", "G"}, {"bars", nestedObjects(58000)}}});
  EXPECT_THROW_MSG(normalizeConfig(config), std::invalid_argument, "bars: expected number");
  // As a bare progression, too.
  EXPECT_THROW_MSG(normalizeConfig(Json::array({"C", nestedObjects(58000)})), std::invalid_argument,
                   "progression item: unknown field a");
}

}  // namespace
}  // namespace tavrena
