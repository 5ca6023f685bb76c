#include "theory/json_parse.h"

#include <string>

namespace tavrena {
namespace {

using DomParser = nlohmann::detail::json_sax_dom_parser<Json>;

// Thrown by DepthLimitedParser past the limit and turned into a parse error with
// the byte position by parseJsonText.
struct TooDeep {};

std::string depthMessage() {
  return "syntax error - nesting deeper than " + std::to_string(kMaxJsonDepth) + " levels";
}

[[noreturn]] void refuseNul(std::size_t position) {
  throw Json::parse_error::create(101, position,
                                  "syntax error - NUL byte (U+0000) in the JSON text", nullptr);
}

// The library's own document builder, with the nesting counted on the way in. The
// parser is a template over its handler, so the hiding members below are the ones
// it calls; every other event goes straight to the builder.
class DepthLimitedParser : public DomParser {
 public:
  explicit DepthLimitedParser(Json& result) : DomParser(result, true) {}

  bool start_object(std::size_t elements) {
    enter();
    return DomParser::start_object(elements);
  }
  bool end_object() {
    --depth_;
    return DomParser::end_object();
  }
  bool start_array(std::size_t elements) {
    enter();
    return DomParser::start_array(elements);
  }
  bool end_array() {
    --depth_;
    return DomParser::end_array();
  }

 private:
  void enter() {
    if (++depth_ > kMaxJsonDepth) throw TooDeep{};
  }
  std::size_t depth_ = 0;
};

// 1-based byte position of the bracket that opens level kMaxJsonDepth + 1. Only
// called after the parser got that far, so the text before it is valid JSON and
// brackets inside strings are the only ones to skip.
std::size_t positionPastDepthLimit(std::string_view text) {
  std::size_t depth = 0;
  bool inString = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (inString) {
      if (c == '\\')
        ++i;
      else if (c == '"')
        inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > kMaxJsonDepth) return i + 1;
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return text.size();
}

}  // namespace

Json parseJsonText(std::string_view text) {
  const std::size_t nul = text.find('\0');
  if (nul != std::string_view::npos) refuseNul(nul + 1);
  Json result;
  DepthLimitedParser parser(result);
  try {
    Json::sax_parse(text.data(), text.data() + text.size(), &parser);
  } catch (const TooDeep&) {
    throw Json::parse_error::create(101, positionPastDepthLimit(text), depthMessage(), nullptr);
  }
  return result;
}

}  // namespace tavrena
