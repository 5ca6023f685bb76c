#pragma once
// The module (plug-in DLL or executable) that holds vstwebview's code, found by the address
// of an object of it: a plug-in's resources and window class belong to the DLL, not to the
// host's executable. Windows only.
#include <windows.h>

namespace vstwebview {

// Null when the loader cannot say (it always can for a loaded module's own address).
HMODULE ModuleOfThisCode();

}  // namespace vstwebview
