#pragma once
// Module-wide reference counting behind the platform entry points (InitDll/ExitDll on
// Windows, ModuleEntry/ModuleExit on Linux), and where the module was loaded from.
// Safe from any thread: hosts may scan modules on threads of their own.
#include <string>

namespace tavrena {

// A host takes a reference; the first one runs the SDK's module initialisation and
// returns its result (a failed initialisation holds no reference).
bool enterModule();

// A host gives its reference back; the last one runs the SDK's module termination and
// returns its result. An exit without a matching entry returns false and leaves the
// count at zero, so that a later entry still initialises the module.
bool exitModule();

// References currently held.
int moduleReferences();

// The platform's handle of the loaded module and the folder holding its binary,
// recorded by the entry point (Windows: HINSTANCE and the path cut after its last
// backslash; Linux: the dlopen handle and the directory of the shared object).
void recordModuleLocation(void* handle, std::string folder);
void* moduleHandle();
std::string moduleFolder();

}  // namespace tavrena
