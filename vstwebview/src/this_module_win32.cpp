#include "vstwebview/this_module_win32.h"

namespace vstwebview {
namespace {

// Any object of this module: its address tells the loader which module it is.
const char kModuleAnchor = 0;

}  // namespace

HMODULE ModuleOfThisCode() {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCWSTR>(&kModuleAnchor), &module)) {
    return nullptr;
  }
  return module;
}

}  // namespace vstwebview
