#pragma once
// A VST 3 module loaded as a host loads it, with its entry called; unloaded, after its exit,
// when destroyed.
#include <string>

#include "pluginterfaces/base/ipluginbase.h"

class LoadedModule {
 public:
  LoadedModule() = default;
  ~LoadedModule();
  LoadedModule(const LoadedModule&) = delete;
  LoadedModule& operator=(const LoadedModule&) = delete;

  // False with *error set when the module cannot be loaded or its entry fails.
  bool load(const std::string& path, std::string* error);
  // A new reference to the module's factory, or null.
  Steinberg::IPluginFactory* factory() const;

 private:
  void* handle_ = nullptr;
  bool entered_ = false;
};
