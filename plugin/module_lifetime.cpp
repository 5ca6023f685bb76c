#include "module_lifetime.h"

#include <mutex>
#include <utility>

// The SDK's module initialisation and termination (main/moduleinit.cpp).
extern bool InitModule();
extern bool DeinitModule();

namespace tavrena {
namespace {

struct ModuleRecord {
  std::mutex mutex;
  int references = 0;
  void* handle = nullptr;
  std::string folder;
};

ModuleRecord& record() {
  static ModuleRecord instance;
  return instance;
}

}  // namespace

bool enterModule() {
  ModuleRecord& module = record();
  std::lock_guard lock(module.mutex);
  if (++module.references != 1) return true;
  if (InitModule()) return true;
  module.references = 0;
  return false;
}

bool exitModule() {
  ModuleRecord& module = record();
  std::lock_guard lock(module.mutex);
  if (module.references <= 0) return false;
  if (--module.references != 0) return true;
  return DeinitModule();
}

int moduleReferences() {
  ModuleRecord& module = record();
  std::lock_guard lock(module.mutex);
  return module.references;
}

void recordModuleLocation(void* handle, std::string folder) {
  ModuleRecord& module = record();
  std::lock_guard lock(module.mutex);
  module.handle = handle;
  module.folder = std::move(folder);
}

void* moduleHandle() {
  ModuleRecord& module = record();
  std::lock_guard lock(module.mutex);
  return module.handle;
}

std::string moduleFolder() {
  ModuleRecord& module = record();
  std::lock_guard lock(module.mutex);
  return module.folder;
}

}  // namespace tavrena
