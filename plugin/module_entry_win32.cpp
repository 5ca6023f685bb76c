// Entry points of the Windows module. The loader calls DllMain, where the module records
// its instance handle and folder as the SDK's Windows entry point does; hosts then call
// InitDll after loading and ExitDll before unloading, and these calls nest.
#include <windows.h>

#include <string>

#include "module_lifetime.h"
#include "pluginterfaces/base/fplatform.h"

extern "C" {
SMTG_EXPORT_SYMBOL bool InitDll();
SMTG_EXPORT_SYMBOL bool ExitDll();
}

// The module's instance handle, under the SDK's name for it.
HINSTANCE ghInst = nullptr;

namespace {

std::string toUtf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string result(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size,
                      nullptr, nullptr);
  return result;
}

// Full path of the module file cut after its last backslash (the backslash stays).
std::wstring folderOfModule(HINSTANCE instance) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(instance, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    // Truncated: long paths reach 32767 characters.
    if (path.size() >= 32768) return {};
    path.resize(path.size() * 2);
  }
  const auto backslash = path.find_last_of(L'\\');
  if (backslash == std::wstring::npos) return {};
  path.resize(backslash + 1);
  return path;
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) {
    ghInst = instance;
    try {
      tavrena::recordModuleLocation(instance, toUtf8(folderOfModule(instance)));
    } catch (...) {
      return FALSE;  // out of memory while loading: refuse the load
    }
  }
  return TRUE;
}

bool InitDll() {
  return tavrena::enterModule();
}

bool ExitDll() {
  return tavrena::exitModule();
}
