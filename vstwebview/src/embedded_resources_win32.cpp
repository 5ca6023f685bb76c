// The page files as RCDATA resources of the module (generated resource script, language 1033).
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

#include "vstwebview/embedded_resources.h"
#include "vstwebview/this_module_win32.h"

namespace vstwebview {

std::optional<std::string_view> FindEmbeddedResource(std::string_view name) {
  // Every resource name is [0-9A-Z_]+. Checking keeps other text from reaching the loader,
  // which would read "#123" as a numeric identifier.
  std::wstring wide;
  wide.reserve(name.size());
  for (const char c : name) {
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || c == '_')) {
      return std::nullopt;
    }
    wide.push_back(static_cast<wchar_t>(c));
  }
  if (wide.empty()) {
    return std::nullopt;
  }
  // The plug-in module holding this code; the host's executable has no such resources.
  const HMODULE module = ModuleOfThisCode();
  if (module == nullptr) {
    return std::nullopt;
  }
  // RT_RCDATA spelled wide: the plain macro follows UNICODE, which need not be defined.
  const LPCWSTR rcData = MAKEINTRESOURCEW(10);
  const HRSRC info =
      FindResourceExW(module, rcData, wide.c_str(), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
  if (info == nullptr) {
    return std::nullopt;
  }
  const DWORD size = SizeofResource(module, info);
  const HGLOBAL loaded = LoadResource(module, info);
  if (size == 0 || loaded == nullptr) {
    return std::nullopt;
  }
  const void* bytes = LockResource(loaded);
  if (bytes == nullptr) {
    return std::nullopt;
  }
  // Resource memory is mapped with the module and never needs freeing.
  return std::string_view(static_cast<const char*>(bytes), size);
}

}  // namespace vstwebview
