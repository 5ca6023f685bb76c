#include <fstream>
#include <system_error>
#include <utility>

#include "vstwebview/embedded_resources.h"
#include "vstwebview/resource_server.h"

namespace vstwebview {
namespace {

// The whole file, or nothing when any part of it cannot be read (a half file would be served
// as if it were complete).
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path) {
  std::error_code error;
  const auto size = std::filesystem::file_size(path, error);
  if (error) {
    return std::nullopt;
  }
  std::ifstream in(path, std::ios::binary);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  if (!in || !in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()))) {
    return std::nullopt;
  }
  return bytes;
}

// The file of folder whose resource name is name; none when there is none or more than one.
std::optional<std::filesystem::path> FileNamed(const std::filesystem::path& folder,
                                               std::string_view name) {
  std::optional<std::filesystem::path> found;
  std::error_code error;
  std::filesystem::directory_iterator it(folder, error);
  for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
    std::error_code statusError;
    if (!it->is_regular_file(statusError)) {
      continue;
    }
    const std::u8string fileName = it->path().filename().u8string();
    if (ResourceNameForPath(std::string(fileName.begin(), fileName.end())) != name) {
      continue;
    }
    if (found) {
      return std::nullopt;
    }
    found = it->path();
  }
  if (error) {
    return std::nullopt;
  }
  return found;
}

}  // namespace

ResourceLookup EmbeddedResourceLookup() {
  return [](std::string_view name) -> std::optional<std::string> {
    if (const auto bytes = FindEmbeddedResource(name)) {
      return std::string(*bytes);
    }
    return std::nullopt;
  };
}

ResourceLookup FolderResourceLookup(std::filesystem::path folder) {
  return [folder = std::move(folder)](std::string_view name) -> std::optional<std::string> {
    const auto path = FileNamed(folder, name);
    return path ? ReadWholeFile(*path) : std::nullopt;
  };
}

}  // namespace vstwebview
