#include "theory/message_text.h"

#include <gtest/gtest.h>

#include "expect_throw_msg.h"
#include "theory/config.h"

namespace tavrena {
namespace {

TEST(EchoText, OrdinaryTextsComeBackUnchanged) {
  for (const char* text : {"", "C/H", "  Am7  ", "Мелодия", "solo.mid", "🎸 riff"})
    EXPECT_EQ(echoText(text), text);
  EXPECT_EQ(echoText(std::string(80, 'x')), std::string(80, 'x'));
}

TEST(EchoText, ControlBidiAndBrokenBytesAreEscaped) {
  const std::pair<std::string, std::string> rows[] = {
      {"a\nb\tc\rd", "a\\u000ab\\u0009c\\u000dd"},
      {std::string("x\0y", 3), "x\\u0000y"},
      {"\x1b[31mred\x7f", "\\u001b[31mred\\u007f"},
      // Right-to-left override, isolates, marks: shown, never applied.
      {"C\u202Eevil\u202C", "C\\u202eevil\\u202c"},
      {"\u2066a\u2069\u200E\u200F", "\\u2066a\\u2069\\u200e\\u200f"},
      // Neighbours of the bidi ranges are ordinary characters.
      {"\u2029\u202F\u2065\u206A\u200D", "\u2029\u202F\u2065\u206A\u200D"},
      // Not UTF-8: a lone continuation byte, a truncated sequence, an overlong form.
      {"a\x80"
       "b",
       "a\\x80b"},
      {"\xE2\x80", "\\xE2\\x80"},
      {"\xC0\xAF", "\\xC0\\xAF"},
  };
  for (const auto& [text, shown] : rows) EXPECT_EQ(echoText(text), shown);
}

TEST(EchoText, LongTextsAreCutAtACharacterBoundary) {
  EXPECT_EQ(echoText(std::string(81, 'x')), std::string(80, 'x') + "\u2026");
  // 79 ASCII bytes and a two-byte letter would pass 80: the letter goes whole.
  EXPECT_EQ(echoText(std::string(79, 'x') + "éé"), std::string(79, 'x') + "\u2026");
  // An escape is never cut in half either.
  EXPECT_EQ(echoText(std::string(77, 'x') + "\n"), std::string(77, 'x') + "\u2026");
  EXPECT_EQ(echoText(std::string(1 << 20, '\n')).size(), 78u + 3u);  // 13 escapes, ellipsis
}

TEST(EchoText, MessagesThatRepeatUserTextUseIt) {
  const Json badKey = {{"progression", {"C"}}, {"solo", {{"x\u202Ey", 1}}}};
  EXPECT_THROW_MSG(normalizeConfig(badKey), std::invalid_argument, "Unknown solo field: x\\u202ey");
  const Json longKey = {{"progression", {"C"}}, {std::string(100, 'k'), 1}};
  EXPECT_THROW_MSG(normalizeConfig(longKey), std::invalid_argument,
                   "config: unknown field " + std::string(80, 'k') + "\u2026");
  const Json itemKey = {{"progression", {{{"chord", "C"}, {"\t", 1}}}}};
  EXPECT_THROW_MSG(normalizeConfig(itemKey), std::invalid_argument,
                   "progression item: unknown field \\u0009");
}

}  // namespace
}  // namespace tavrena
