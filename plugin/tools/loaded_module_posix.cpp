#include <dlfcn.h>

#include "loaded_module.h"

bool LoadedModule::load(const std::string& path, std::string* error) {
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    *error = dlerror();
    return false;
  }
  auto entry = reinterpret_cast<bool (*)(void*)>(dlsym(handle_, "ModuleEntry"));
  if (!entry || !dlsym(handle_, "ModuleExit") || !dlsym(handle_, "GetPluginFactory")) {
    *error = "module lacks its entry points";
    return false;
  }
  entered_ = entry(handle_);
  if (!entered_) *error = "ModuleEntry failed";
  return entered_;
}

Steinberg::IPluginFactory* LoadedModule::factory() const {
  auto get = reinterpret_cast<GetFactoryProc>(dlsym(handle_, "GetPluginFactory"));
  return get ? get() : nullptr;
}

LoadedModule::~LoadedModule() {
  if (!handle_) return;
  if (entered_) reinterpret_cast<bool (*)()>(dlsym(handle_, "ModuleExit"))();
  dlclose(handle_);
}
