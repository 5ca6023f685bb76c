#include "generate_input.h"

#include <string>

#include "cli_common.h"
#include "state/state.h"
#include "theory/config.h"
#include "theory/json.h"

namespace tavrena::cli {

namespace {

// Streams through the document once, keeping nothing but the compact size of the
// values under the top-level "config" (or the older layout's "chords") key.
class ConfigurationSize : public nlohmann::json_sax<Json> {
 public:
  bool isState = false;
  std::size_t bytes = 0;

  bool null() override { return count(4); }
  bool boolean(bool value) override { return count(value ? 4 : 5); }
  bool number_integer(number_integer_t value) override {
    return count(std::to_string(value).size());
  }
  bool number_unsigned(number_unsigned_t value) override {
    return count(std::to_string(value).size());
  }
  bool number_float(number_float_t, const string_t& text) override { return count(text.size()); }
  bool string(string_t& value) override { return count(value.size() + 3); }
  bool binary(binary_t& value) override { return count(value.size()); }
  bool start_object(std::size_t) override { return open(); }
  bool end_object() override { return close(); }
  bool start_array(std::size_t) override { return open(); }
  bool end_array() override { return close(); }
  bool key(string_t& name) override {
    if (depth_ != 1) return count(name.size() + 3);
    inConfiguration_ = name == "config" || name == "chords";
    isState = isState || inConfiguration_;
    return true;
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
    return false;
  }

 private:
  // Stops the scan as soon as the configuration is known to be too large.
  bool count(std::size_t n) {
    if (inConfiguration_) bytes += n;
    return bytes <= kMaxConfigBytes;
  }
  bool open() {
    ++depth_;
    return count(2);
  }
  bool close() {
    if (--depth_ == 0) inConfiguration_ = false;
    return true;
  }

  int depth_ = 0;
  bool inConfiguration_ = false;
};

}  // namespace

void checkGenerateInputSize(std::string_view text, const std::string& name) {
  if (text.size() <= kMaxConfigBytes) return;
  ConfigurationSize scan;
  Json::sax_parse(text, &scan);
  if (!scan.isState)
    throw Refused(name + " is larger than " + describeBytes(kMaxConfigBytes) +
                  ", the most a configuration may hold");
  if (scan.bytes > kMaxConfigBytes)
    throw Refused("the configuration in " + name + " is larger than " +
                  describeBytes(kMaxConfigBytes) + ", the most a configuration may hold");
}

std::string readGenerateInput(const std::string& file) {
  if (file.empty()) return defaultConfig().dump();
  std::string text = readInput(file, kMaxStateBytes, "a state document");
  checkGenerateInputSize(text, file == "-" ? "standard input" : "'" + file + "'");
  return text;
}

}  // namespace tavrena::cli
