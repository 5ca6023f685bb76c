// Where a Windows DAW finds the module binary in a bundle, and LoadLibraryW.
#include <windows.h>

#include <string>

#include "host/module.h"
#include "module_library.h"

namespace tavrena::host {

using namespace Steinberg;

namespace {

std::wstring widen(const std::string& text) {
  if (text.empty()) return {};
  const int size =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return wide;
}

std::string lastError() {
  return "LoadLibraryW failed with error " + std::to_string(GetLastError());
}

}  // namespace

std::string moduleBinaryPath(const std::string& bundlePath) {
  std::string bundle = bundlePath;
  for (char& c : bundle)
    if (c == '/') c = '\\';
  while (bundle.size() > 1 && bundle.back() == '\\') bundle.pop_back();
  std::string name = bundle.substr(bundle.find_last_of('\\') + 1);
  if (const auto dot = name.rfind(".vst3"); dot != std::string::npos) name.resize(dot);
  return bundle + "\\Contents\\x86_64-win\\" + name + ".vst3";
}

void* openLibrary(const std::string& path, std::string* error) {
  void* handle = LoadLibraryW(widen(path).c_str());
  if (!handle) *error = lastError() + " for " + path;
  return handle;
}

void closeLibrary(void* handle) {
  FreeLibrary(static_cast<HMODULE>(handle));
}

void* findSymbol(void* handle, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}

bool callEntry(void* handle) {
  return reinterpret_cast<bool (*)()>(findSymbol(handle, kModuleEntryName))();
}

}  // namespace tavrena::host
