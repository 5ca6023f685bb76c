#include "public.sdk/source/main/pluginfactory.h"

#include <cstring>

namespace Steinberg {

CPluginFactory* gPluginFactory = nullptr;

CPluginFactory::CPluginFactory(const PFactoryInfo& info) : factoryInfo(info) {}

CPluginFactory::~CPluginFactory() {
  if (gPluginFactory == this) gPluginFactory = nullptr;
}

bool CPluginFactory::registerClass(const PClassInfo2* info, FUnknown* (*createFunc)(void*),
                                   void* context) {
  if (!info || !createFunc) return false;
  if (isClassRegistered(FUID::fromTUID(info->cid))) return false;
  PClassEntry entry{*info, PClassInfoW(), createFunc, context};
  entry.info16.fromAscii(*info);
  classes.push_back(entry);
  return true;
}

bool CPluginFactory::isClassRegistered(const FUID& cid) {
  for (const PClassEntry& entry : classes) {
    if (FUnknownPrivate::iidEqual(entry.info8.cid, cid.toTUID())) return true;
  }
  return false;
}

tresult PLUGIN_API CPluginFactory::queryInterface(const TUID _iid, void** obj) {
  if (!obj) return kInvalidArgument;
  if (FUnknownPrivate::iidEqual(_iid, IPluginFactory::iid.toTUID()) ||
      FUnknownPrivate::iidEqual(_iid, IPluginFactory2::iid.toTUID()) ||
      FUnknownPrivate::iidEqual(_iid, IPluginFactory3::iid.toTUID()) ||
      FUnknownPrivate::iidEqual(_iid, FUnknown::iid.toTUID())) {
    addRef();
    *obj = static_cast<IPluginFactory3*>(this);
    return kResultOk;
  }
  *obj = nullptr;
  return kNoInterface;
}

uint32 PLUGIN_API CPluginFactory::addRef() {
  return ++refCount;
}

uint32 PLUGIN_API CPluginFactory::release() {
  const uint32 remaining = --refCount;
  if (remaining == 0) delete this;
  return remaining;
}

tresult PLUGIN_API CPluginFactory::getFactoryInfo(PFactoryInfo* info) {
  if (!info) return kInvalidArgument;
  std::memcpy(info, &factoryInfo, sizeof(PFactoryInfo));
  return kResultOk;
}

int32 PLUGIN_API CPluginFactory::countClasses() {
  return static_cast<int32>(classes.size());
}

const CPluginFactory::PClassEntry* CPluginFactory::entryAt(int32 index) const {
  if (index < 0 || static_cast<size_t>(index) >= classes.size()) return nullptr;
  return &classes[static_cast<size_t>(index)];
}

tresult PLUGIN_API CPluginFactory::getClassInfo(int32 index, PClassInfo* info) {
  const PClassEntry* entry = entryAt(index);
  if (!info || !entry) return kInvalidArgument;
  *info = PClassInfo(entry->info8.cid, entry->info8.cardinality, entry->info8.category,
                     entry->info8.name);
  return kResultOk;
}

tresult PLUGIN_API CPluginFactory::getClassInfo2(int32 index, PClassInfo2* info) {
  const PClassEntry* entry = entryAt(index);
  if (!info || !entry) return kInvalidArgument;
  std::memcpy(info, &entry->info8, sizeof(PClassInfo2));
  return kResultOk;
}

tresult PLUGIN_API CPluginFactory::getClassInfoUnicode(int32 index, PClassInfoW* info) {
  const PClassEntry* entry = entryAt(index);
  if (!info || !entry) return kInvalidArgument;
  std::memcpy(info, &entry->info16, sizeof(PClassInfoW));
  return kResultOk;
}

tresult PLUGIN_API CPluginFactory::createInstance(FIDString cid, FIDString _iid, void** obj) {
  if (!obj) return kInvalidArgument;
  *obj = nullptr;
  if (!cid || !_iid) return kInvalidArgument;
  for (const PClassEntry& entry : classes) {
    if (!FUnknownPrivate::iidEqual(entry.info8.cid, cid)) continue;
    FUnknown* instance = entry.createFunc(entry.context);
    if (!instance) return kOutOfMemory;
    // The new instance carries one reference; queryInterface adds the caller's.
    const tresult result = instance->queryInterface(_iid, obj);
    instance->release();
    return result == kResultOk ? kResultOk : kNoInterface;
  }
  return kNoInterface;
}

tresult PLUGIN_API CPluginFactory::setHostContext(FUnknown* /*context*/) {
  return kNotImplemented;
}

}  // namespace Steinberg
