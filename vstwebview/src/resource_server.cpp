#include "vstwebview/resource_server.h"

#include <utility>

namespace vstwebview {
namespace {

char UpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EndsWithIgnoringCase(std::string_view text, std::string_view upperSuffix) {
  if (text.size() < upperSuffix.size()) {
    return false;
  }
  const std::string_view tail = text.substr(text.size() - upperSuffix.size());
  for (std::size_t i = 0; i < tail.size(); ++i) {
    if (UpperAscii(tail[i]) != upperSuffix[i]) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::string ResourceNameForPath(std::string_view path) {
  std::string name = "TAVRENA_";
  name.reserve(name.size() + path.size());
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      const char upper = UpperAscii(c);
      const bool kept =
          (upper >= '0' && upper <= '9') || (upper >= 'A' && upper <= 'Z') || upper == '_';
      name += kept ? upper : '_';
    } else if (byte >= 0xF0) {
      name += "__";  // four UTF-8 bytes: beyond U+FFFF, a surrogate pair in UTF-16
    } else if (byte >= 0xC0) {
      name += '_';  // lead byte of a character inside the BMP
    }
    // Continuation bytes belong to the character already counted. Invalid UTF-8 is counted by
    // the same lead-byte rule as the build's naming of files, so the two always agree.
  }
  return name;
}

std::string ContentTypeForPath(std::string_view upperPath) {
  // {ending, content type}; the first match wins.
  static constexpr std::pair<std::string_view, std::string_view> kTypes[] = {
      {".HTML", "text/html; charset=utf-8"},
      {".JS", "application/javascript; charset=utf-8"},
      {".CSS", "text/css; charset=utf-8"},
      {".PNG", "image/png"},
      {".SVG", "image/svg+xml"},
      {".TXT", "text/plain; charset=utf-8"},
  };
  for (const auto& [ending, type] : kTypes) {
    if (EndsWithIgnoringCase(upperPath, ending)) {
      return std::string(type);
    }
  }
  return "application/octet-stream";
}

ResourceServer::ResourceServer(std::string virtualOrigin, ResourceLookup lookup)
    : origin_(std::move(virtualOrigin)), lookup_(std::move(lookup)) {}

ResourceResponse ResourceServer::Serve(std::string_view uri) const {
  ResourceResponse response;
  if (!uri.starts_with(origin_)) {
    return response;
  }
  response.handled = true;

  std::string_view path = uri.substr(origin_.size());
  path = path.substr(0, path.find_first_of("?#"));
  if (path.empty()) {
    path = "index.html";
  }
  std::string upperPath(path);
  for (char& c : upperPath) {
    c = UpperAscii(c);
  }

  response.contentType = ContentTypeForPath(upperPath);
  response.headers = "Content-Type: " + response.contentType + "\r\nCache-Control: no-store\r\n";

  // Only files directly in the resource folder exist; a sub-folder path is never looked up.
  std::optional<std::string> bytes;
  if (path.find_first_of("/\\") == std::string_view::npos && lookup_) {
    bytes = lookup_(ResourceNameForPath(path));
  }
  if (bytes) {
    response.status = 200;
    response.reason = "OK";
    response.body = std::move(*bytes);
  } else {
    response.status = 404;
    response.reason = "Not Found";
  }
  return response;
}

}  // namespace vstwebview
