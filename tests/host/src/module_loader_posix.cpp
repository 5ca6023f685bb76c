// Loading the module as a Linux DAW does: dlopen, ModuleEntry, GetPluginFactory.
#include <dlfcn.h>
#include <sys/utsname.h>

#include "host/module.h"

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

std::unique_ptr<Module> Module::load(const std::string& bundlePath, std::string* error) {
  auto fail = [error](std::string message) -> std::unique_ptr<Module> {
    if (error) *error = std::move(message);
    return nullptr;
  };
  std::unique_ptr<Module> module(new Module());
  module->binaryPath_ = moduleBinaryPath(bundlePath);
  module->handle_ = dlopen(module->binaryPath_.c_str(), RTLD_LAZY | RTLD_LOCAL);
  if (!module->handle_) return fail(dlerror());

  using EntryFunction = bool (*)(void*);
  auto entry = reinterpret_cast<EntryFunction>(module->symbol(kModuleEntryName));
  auto getFactory = reinterpret_cast<GetFactoryProc>(module->symbol("GetPluginFactory"));
  if (!entry || !getFactory || !module->symbol(kModuleExitName)) {
    dlclose(module->handle_);
    module->handle_ = nullptr;
    return fail("module lacks ModuleEntry, ModuleExit or GetPluginFactory");
  }
  if (!entry(module->handle_)) {
    dlclose(module->handle_);
    module->handle_ = nullptr;
    return fail("ModuleEntry returned false");
  }
  module->factory_ = owned(getFactory());
  if (!module->factory_) return fail("GetPluginFactory returned null");
  return module;
}

Module::~Module() {
  if (!handle_) return;
  factory_ = nullptr;
  using ExitFunction = bool (*)();
  if (auto exit = reinterpret_cast<ExitFunction>(symbol(kModuleExitName))) exit();
  dlclose(handle_);
}

void* Module::symbol(const char* name) const {
  return handle_ ? dlsym(handle_, name) : nullptr;
}

}  // namespace tavrena::host
