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

// The library's own document builder, with the nesting counted on the way in.
class DepthLimitedParser {
 public:
  explicit DepthLimitedParser(Json& result) : dom_(result, true) {}

  bool null() { return dom_.null(); }
  bool boolean(bool value) { return dom_.boolean(value); }
  bool number_integer(Json::number_integer_t value) { return dom_.number_integer(value); }
  bool number_unsigned(Json::number_unsigned_t value) { return dom_.number_unsigned(value); }
  bool number_float(Json::number_float_t value, const Json::string_t& text) {
    return dom_.number_float(value, text);
  }
  bool string(Json::string_t& value) { return dom_.string(value); }
  bool binary(Json::binary_t& value) { return dom_.binary(value); }
  bool key(Json::string_t& value) { return dom_.key(value); }
  bool start_object(std::size_t elements) {
    enter();
    return dom_.start_object(elements);
  }
  bool end_object() {
    --depth_;
    return dom_.end_object();
  }
  bool start_array(std::size_t elements) {
    enter();
    return dom_.start_array(elements);
  }
  bool end_array() {
    --depth_;
    return dom_.end_array();
  }
  template <class Exception>
  bool parse_error(std::size_t position, const std::string& last, const Exception& ex) {
    return dom_.parse_error(position, last, ex);
  }

 private:
  void enter() {
    if (++depth_ > kMaxJsonDepth) throw TooDeep{};
  }
  DomParser dom_;
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
