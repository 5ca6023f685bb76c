#pragma once
// The platform's shared-library calls behind Module (dlopen or LoadLibraryW).
#include <string>

namespace tavrena::host {

// Null with *error set when the library cannot be loaded.
void* openLibrary(const std::string& path, std::string* error);
void closeLibrary(void* handle);
void* findSymbol(void* handle, const char* name);
// Calls the module's entry: ModuleEntry(handle) on Linux, InitDll() on Windows.
bool callEntry(void* handle);

}  // namespace tavrena::host
