#include <windows.h>

#include "loaded_module.h"

namespace {

std::wstring widen(const std::string& text) {
  const int size =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return wide;
}

// Through void*: FARPROC's own type would make every cast an incompatible-function warning.
void* symbol(void* module, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

}  // namespace

bool LoadedModule::load(const std::string& path, std::string* error) {
  handle_ = LoadLibraryW(widen(path).c_str());
  if (!handle_) {
    *error = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  auto entry = reinterpret_cast<bool (*)()>(symbol(handle_, "InitDll"));
  if (!entry || !symbol(handle_, "ExitDll") || !symbol(handle_, "GetPluginFactory")) {
    *error = "module lacks its entry points";
    return false;
  }
  entered_ = entry();
  if (!entered_) *error = "InitDll failed";
  return entered_;
}

Steinberg::IPluginFactory* LoadedModule::factory() const {
  auto get = reinterpret_cast<GetFactoryProc>(symbol(handle_, "GetPluginFactory"));
  return get ? get() : nullptr;
}

LoadedModule::~LoadedModule() {
  if (!handle_) return;
  if (entered_) reinterpret_cast<bool (*)()>(symbol(handle_, "ExitDll"))();
  FreeLibrary(static_cast<HMODULE>(handle_));
}
