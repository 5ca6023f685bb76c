#pragma once
// A small VST 3 host for tests: it loads the built Tavrena.vst3 bundle exactly as a
// Linux DAW does and drives its two classes through their VST 3 interfaces only.
//
//   Module (host/module.h)
//     Module::load(defaultBundlePath(), &error)   dlopen + ModuleEntry + GetPluginFactory
//     module->factoryInfo(), classes(), classesUnicode()
//     module->create<IComponent>(cid)             IPluginFactory::createInstance
//     ~Module                                     factory release, ModuleExit, dlclose
//
//   Host side objects (host/host_objects.h), owned by the test:
//     HostApplication   IHostApplication; createInstance gives IMessage/IAttributeList
//                       (setMessageAllocation(false) makes it refuse)
//     ComponentHandler  IComponentHandler(2); counts setDirty calls
//     EventList         IEventList with reserved storage (addEvent never allocates)
//     ConnectionProxy   forwards messages directly, or queues them until pump()
//     Message::liveCount()  messages alive right now (leak checks)
//
//   Plugin (host/plugin.h)
//     auto plugin = Plugin::create(*module, kProcessorUID, host, &handler, &error);
//     plugin->component(), processor(), controller()
//     plugin->activate(48000, 512, kSample32)      setupProcessing, setActive, setProcessing
//     plugin->toController().setDeferred(true); ...; plugin->toController().pump();
//     plugin->sendToProcessor("TavrenaPlayback", fill)
//
//   Processing (host/plugin.h)
//     AudioBlock block(2, 512, kSample32);
//     ProcessContext context = makeContext(48000, true, 0.0, 120.0);
//     plugin->processor()->process(block.prepare(512, &context));
//     block.sample(channel, i); block.events().events()
//
//   State: saveState(component) / loadState(component, bytes) and the controller's
//   saveState / loadState / loadComponentState through an in-memory IBStream.
#include "host/host_objects.h"
#include "host/module.h"
#include "host/plugin.h"
