#pragma once
// Default class factory (IPluginFactory3), with the full SDK's interface for what
// Tavrena uses: classes are registered with version-2 class information and served in
// all three information formats.
#include <atomic>
#include <vector>

#include "pluginterfaces/base/ipluginbase.h"

namespace Steinberg {

class CPluginFactory : public IPluginFactory3 {
 public:
  explicit CPluginFactory(const PFactoryInfo& info);
  virtual ~CPluginFactory();

  // Registers a class; createFunc receives context and returns a new instance with one
  // reference. Returns false for a null argument or an identifier already registered.
  bool registerClass(const PClassInfo2* info, FUnknown* (*createFunc)(void*),
                     void* context = nullptr);
  bool isClassRegistered(const FUID& cid);

  // FUnknown: the factory deletes itself when the last reference is released.
  tresult PLUGIN_API queryInterface(const TUID _iid, void** obj) SMTG_OVERRIDE;
  uint32 PLUGIN_API addRef() SMTG_OVERRIDE;
  uint32 PLUGIN_API release() SMTG_OVERRIDE;

  // IPluginFactory
  tresult PLUGIN_API getFactoryInfo(PFactoryInfo* info) SMTG_OVERRIDE;
  int32 PLUGIN_API countClasses() SMTG_OVERRIDE;
  tresult PLUGIN_API getClassInfo(int32 index, PClassInfo* info) SMTG_OVERRIDE;
  tresult PLUGIN_API createInstance(FIDString cid, FIDString _iid, void** obj) SMTG_OVERRIDE;
  // IPluginFactory2
  tresult PLUGIN_API getClassInfo2(int32 index, PClassInfo2* info) SMTG_OVERRIDE;
  // IPluginFactory3
  tresult PLUGIN_API getClassInfoUnicode(int32 index, PClassInfoW* info) SMTG_OVERRIDE;
  tresult PLUGIN_API setHostContext(FUnknown* context) SMTG_OVERRIDE;

 protected:
  struct PClassEntry {
    PClassInfo2 info8;
    PClassInfoW info16;
    FUnknown* (*createFunc)(void*);
    void* context;
  };

  const PClassEntry* entryAt(int32 index) const;

  PFactoryInfo factoryInfo;
  std::vector<PClassEntry> classes;
  std::atomic<uint32> refCount{1};
};

// The module's factory while one exists; the factory clears it when it is destroyed.
extern CPluginFactory* gPluginFactory;

}  // namespace Steinberg
