#pragma once
// Loading a VST 3 bundle the way a DAW does.
#include <memory>
#include <string>
#include <vector>

#include "pluginterfaces/base/funknown.h"
#include "pluginterfaces/base/ipluginbase.h"
#include "pluginterfaces/base/smartpointer.h"

namespace tavrena::host {

// One class as the factory announces it (version-2 fields; strings in UTF-8).
struct ClassInfo {
  Steinberg::FUID cid;
  Steinberg::int32 cardinality = 0;
  std::string category;
  std::string name;
  Steinberg::uint32 classFlags = 0;
  std::string subCategories;
  std::string vendor;
  std::string version;
  std::string sdkVersion;
};

// The bundle the build produced (TAVRENA_BUNDLE in the environment overrides it).
std::string defaultBundlePath();

// The binary inside a bundle: <bundle>/Contents/<arch>-linux/<bundle name>.so, on Windows
// <bundle>\Contents\x86_64-win\<bundle name>.vst3.
std::string moduleBinaryPath(const std::string& bundlePath);

// The module's entry points: ModuleEntry(handle) and ModuleExit() on Linux, InitDll() and
// ExitDll() on Windows.
#ifdef _WIN32
inline constexpr const char* kModuleEntryName = "InitDll";
inline constexpr const char* kModuleExitName = "ExitDll";
#else
inline constexpr const char* kModuleEntryName = "ModuleEntry";
inline constexpr const char* kModuleExitName = "ModuleExit";
#endif

class Module {
 public:
  // dlopen (LoadLibraryW), then the entry, then GetPluginFactory. Null with *error set
  // on failure (nothing stays loaded).
  static std::unique_ptr<Module> load(const std::string& bundlePath, std::string* error);
  // Releases the factory, calls the exit and unloads, in that order.
  ~Module();
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;

  Steinberg::IPluginFactory* factory() const { return factory_.get(); }
  void* handle() const { return handle_; }
  void* symbol(const char* name) const;
  const std::string& binaryPath() const { return binaryPath_; }

  Steinberg::PFactoryInfo factoryInfo() const;
  // Read through IPluginFactory2 (the SDK's 8-bit strings).
  std::vector<ClassInfo> classes() const;
  // Read through IPluginFactory3::getClassInfoUnicode, as hosts prefer.
  std::vector<ClassInfo> classesUnicode() const;

  // factory()->createInstance(cid, Interface::iid); null if refused.
  template <class Interface>
  Steinberg::IPtr<Interface> create(const Steinberg::FUID& cid) const {
    void* object = nullptr;
    if (factory_->createInstance(cid.toTUID(), Interface::iid.toTUID(), &object) !=
            Steinberg::kResultOk ||
        !object)
      return nullptr;
    return Steinberg::owned(static_cast<Interface*>(object));
  }

 private:
  Module() = default;
  void* handle_ = nullptr;
  std::string binaryPath_;
  Steinberg::IPtr<Steinberg::IPluginFactory> factory_;
};

// UTF-16 (VST 3 strings) to UTF-8 and back.
std::string toUtf8(const Steinberg::char16* text);
// Steinberg::char16 is wchar_t under mingw, char16_t elsewhere.
std::basic_string<Steinberg::char16> toUtf16(const std::string& text);

}  // namespace tavrena::host
