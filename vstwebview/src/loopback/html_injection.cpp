#include "html_injection.h"

#include <cctype>

namespace vstwebview::loopback {
namespace {

// Position of the first tag called name ("<head" followed by ">", white space or
// "/"), or npos.
std::size_t findTag(std::string_view html, std::string_view name) {
  for (std::size_t at = html.find('<'); at != std::string_view::npos; at = html.find('<', at + 1)) {
    if (html.size() - at < name.size() + 2) break;
    bool same = true;
    for (std::size_t i = 0; i < name.size() && same; ++i)
      same = std::tolower(static_cast<unsigned char>(html[at + 1 + i])) == name[i];
    const char after = html[at + 1 + name.size()];
    if (same && (after == '>' || after == '/' || std::isspace(static_cast<unsigned char>(after))))
      return at;
  }
  return std::string_view::npos;
}

}  // namespace

std::string insertBeforePageScripts(std::string_view html, std::string_view tags) {
  std::size_t at = findTag(html, "script");
  if (at == std::string_view::npos) at = findTag(html, "/head");
  if (at == std::string_view::npos) {
    const std::size_t head = findTag(html, "head");
    const std::size_t end = head == std::string_view::npos ? head : html.find('>', head);
    at = end == std::string_view::npos ? 0 : end + 1;
  }
  std::string out;
  out.reserve(html.size() + tags.size());
  out.append(html.substr(0, at)).append(tags).append(html.substr(at));
  return out;
}

}  // namespace vstwebview::loopback
