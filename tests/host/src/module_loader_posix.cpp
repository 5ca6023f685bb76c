// Where a Linux DAW finds the module binary in a bundle, and dlopen.
#include <dlfcn.h>
#include <sys/utsname.h>

#include "host/module.h"
#include "module_library.h"

namespace tavrena::host {

using namespace Steinberg;

std::string moduleBinaryPath(const std::string& bundlePath) {
  std::string bundle = bundlePath;
  while (bundle.size() > 1 && bundle.back() == '/') bundle.pop_back();
  std::string name = bundle.substr(bundle.find_last_of('/') + 1);
  if (const auto dot = name.rfind(".vst3"); dot != std::string::npos) name.resize(dot);
  utsname system{};
  uname(&system);
  return bundle + "/Contents/" + system.machine + "-linux/" + name + ".so";
}

void* openLibrary(const std::string& path, std::string* error) {
  void* handle = dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL);
  if (!handle) *error = dlerror();
  return handle;
}

void closeLibrary(void* handle) {
  dlclose(handle);
}

void* findSymbol(void* handle, const char* name) {
  return dlsym(handle, name);
}

bool callEntry(void* handle) {
  return reinterpret_cast<bool (*)(void*)>(findSymbol(handle, kModuleEntryName))(handle);
}

}  // namespace tavrena::host
