#include <dlfcn.h>
#include <link.h>

#include "module_folder.h"

namespace tavrena {
namespace {

std::string directoryOf(const char* path) {
  if (!path) return {};
  const std::string full(path);
  const auto slash = full.find_last_of('/');
  if (slash == std::string::npos) return {};
  return full.substr(0, slash + 1);
}

}  // namespace

std::string folderOfLoadedObject(void* handle) {
  if (handle) {
    link_map* map = nullptr;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name && map->l_name[0])
      return directoryOf(map->l_name);
    return {};
  }
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&folderOfLoadedObject), &info) == 0) return {};
  return directoryOf(info.dli_fname);
}

}  // namespace tavrena
