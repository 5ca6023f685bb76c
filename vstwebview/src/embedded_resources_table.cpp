#include <algorithm>

#include "vstwebview/embedded_resource_table.h"
#include "vstwebview/embedded_resources.h"

namespace vstwebview {

std::optional<std::string_view> FindEmbeddedResource(std::string_view name) {
  const std::span<const EmbeddedFile> files = EmbeddedFiles();
  const auto found = std::ranges::lower_bound(files, name, {}, &EmbeddedFile::name);
  if (found == files.end() || found->name != name) {
    return std::nullopt;
  }
  return std::string_view(reinterpret_cast<const char*>(found->data), found->size);
}

}  // namespace vstwebview
