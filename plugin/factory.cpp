// The module's class factory: the processor and the controller, announced with the
// vendor's information. GetPluginFactory is the module's third entry point.
#include <exception>
#include <mutex>
#include <new>

#include "controller.h"
#include "ids.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/vsttypes.h"
#include "processor.h"
#include "public.sdk/source/main/pluginfactory.h"

using namespace Steinberg;

namespace {

// Exceptions must not cross into the host: a class that cannot be constructed is
// reported through createInstance's result instead.
FUnknown* createProcessor(void* /*context*/) {
  try {
    return static_cast<Vst::IAudioProcessor*>(new tavrena::Processor());
  } catch (...) {
    return nullptr;
  }
}

FUnknown* createController(void* /*context*/) {
  try {
    return static_cast<Vst::IEditController*>(new tavrena::Controller());
  } catch (...) {
    return nullptr;
  }
}

void registerClasses(CPluginFactory& factory);

CPluginFactory* makeFactory() {
  const PFactoryInfo factoryInfo(tavrena::kVendor, tavrena::kVendorUrl, tavrena::kVendorEmail,
                                 PFactoryInfo::kUnicode);
  auto* factory = new CPluginFactory(factoryInfo);
  try {
    registerClasses(*factory);
  } catch (...) {
    factory->release();
    throw;
  }
  return factory;
}

void registerClasses(CPluginFactory& factory) {
  const PClassInfo2 processorClass(tavrena::kProcessorUID.toTUID(), PClassInfo::kManyInstances,
                                   kVstAudioEffectClass, tavrena::kProcessorName,
                                   Vst::kDistributable, tavrena::kProcessorSubCategories, "",
                                   tavrena::kPluginVersion, kVstVersionString);
  factory.registerClass(&processorClass, createProcessor);
  const PClassInfo2 controllerClass(tavrena::kControllerUID.toTUID(), PClassInfo::kManyInstances,
                                    kVstComponentControllerClass, tavrena::kControllerName, 0, "",
                                    "", tavrena::kPluginVersion, kVstVersionString);
  factory.registerClass(&controllerClass, createController);
}

std::mutex factoryMutex;

}  // namespace

// The first call creates the factory and hands its one reference to the caller; later
// calls add a reference to the same factory. Releasing the last reference destroys it
// (and clears gPluginFactory), after which the next call builds a new one.
SMTG_EXPORT_SYMBOL IPluginFactory* PLUGIN_API GetPluginFactory() {
  std::lock_guard lock(factoryMutex);
  if (gPluginFactory) {
    gPluginFactory->addRef();
    return gPluginFactory;
  }
  try {
    gPluginFactory = makeFactory();
  } catch (...) {
    return nullptr;
  }
  return gPluginFactory;
}
