#pragma once
// Where a loaded shared object lives, for the Linux entry point.
#include <string>

namespace tavrena {

// Directory (with its trailing slash) of the shared object behind a dlopen handle; with
// a null handle, of the object containing this function. Empty if it cannot be found.
std::string folderOfLoadedObject(void* handle);

}  // namespace tavrena
