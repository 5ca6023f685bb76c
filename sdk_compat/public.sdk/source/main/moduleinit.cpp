// Module-wide initialisation and termination, called by the platform entry points
// (ModuleEntry/ModuleExit, InitDll/ExitDll) when the first host reference arrives and
// the last one leaves. The full SDK runs its registered initialiser functions here;
// none of the SDK code the subset carries registers any, so there is nothing to set
// up or tear down beyond reporting success, which the entry points pass on.
bool InitModule() {
  return true;
}

bool DeinitModule() {
  return true;
}
