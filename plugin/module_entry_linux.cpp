// Entry points of the Linux module. Hosts call ModuleEntry with the dlopen handle after
// loading and ModuleExit before unloading; calls nest, as InitDll/ExitDll do on Windows.
#include <exception>
#include <string>
#include <utility>

#include "module_folder.h"
#include "module_lifetime.h"
#include "pluginterfaces/base/fplatform.h"
#include "vstwebview/helper_browser.h"

extern "C" {
SMTG_EXPORT_SYMBOL bool ModuleEntry(void* sharedLibraryHandle);
SMTG_EXPORT_SYMBOL bool ModuleExit(void);
}

bool ModuleEntry(void* sharedLibraryHandle) {
  if (!tavrena::enterModule()) return false;
  try {
    std::string folder = tavrena::folderOfLoadedObject(sharedLibraryHandle);
    // A host that passes no handle (or a foreign one) still gets the module's own folder.
    if (folder.empty()) folder = tavrena::folderOfLoadedObject(nullptr);
    tavrena::recordModuleLocation(sharedLibraryHandle, std::move(folder));
    return true;
  } catch (const std::exception&) {
    tavrena::exitModule();
    return false;
  }
}

bool ModuleExit(void) {
  // Editors closed just before may still be waiting for their helper processes to end, on
  // threads running this module's code: they finish before it is unloaded.
  vstwebview::JoinReapers();
  return tavrena::exitModule();
}
