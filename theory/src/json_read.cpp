#include "theory/json_read.h"

#include "theory/message_text.h"

namespace tavrena {
namespace {

std::string prefixed(std::string_view path, std::string_view text) {
  std::string message(path);
  if (!message.empty()) message += ": ";
  message += text;
  return message;
}

}  // namespace

void throwTypeError(std::string_view path, std::string_view expected, const Json& value) {
  const std::string text =
      "type must be " + std::string(expected) + ", but is " + value.type_name();
  throw Json::type_error::create(302, prefixed(path, text), nullptr);
}

const Json& memberAt(const Json& object, std::string_view key, std::string_view path) {
  if (!object.is_object())
    throw Json::type_error::create(
        304, prefixed(path, std::string("cannot use at() with ") + object.type_name()), nullptr);
  const auto it = object.find(key);
  if (it == object.end())
    throw Json::out_of_range::create(403, prefixed(path, "key '" + echoText(key) + "' not found"),
                                     nullptr);
  return *it;
}

const std::string& readString(const Json& value, std::string_view path) {
  if (!value.is_string()) throwTypeError(path, "string", value);
  return value.get_ref<const std::string&>();
}

bool readBoolean(const Json& value, std::string_view path) {
  if (!value.is_boolean()) throwTypeError(path, "boolean", value);
  return value.get<bool>();
}

double readReal(const Json& value, std::string_view path) {
  if (!value.is_number()) throwTypeError(path, "number", value);
  return value.get<double>();
}

}  // namespace tavrena
