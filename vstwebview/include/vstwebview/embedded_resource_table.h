#pragma once
// The table behind FindEmbeddedResource outside Windows (Windows keeps the files as module
// resources instead). Its definition is generated at build time from the resource folder.
#include <cstddef>
#include <span>
#include <string_view>

namespace vstwebview {

// One embedded file: {resource name, bytes, byte count}.
struct EmbeddedFile {
  std::string_view name;
  const unsigned char* data;
  std::size_t size;
};

// Every embedded file, sorted by name in byte order, names unique.
std::span<const EmbeddedFile> EmbeddedFiles();

}  // namespace vstwebview
