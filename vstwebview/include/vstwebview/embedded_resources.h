#pragma once
// The page files compiled into the module (see cmake/TavrenaResources.cmake), by resource name:
// "TAVRENA_" + the upper-cased file name, as ResourceNameForPath computes it.
#include <optional>
#include <string_view>

namespace vstwebview {

// Bytes of the embedded resource with this name, or nullopt when there is none. The bytes
// live as long as the module. Safe from any thread.
std::optional<std::string_view> FindEmbeddedResource(std::string_view name);

}  // namespace vstwebview
