// The built bundle as a host sees it: entry points, factory and class information,
// what the module exports, and the moduleinfo.json beside it.
#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#endif

#include <fstream>
#include <iterator>

#include "host/host.h"
#include "ids.h"
#ifndef _WIN32
#include "module_folder.h"
#endif
#include "nlohmann/json.hpp"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivstmessage.h"
#include "pluginterfaces/vst/vsttypes.h"

namespace tavrena {
namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

class ModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    module = host::Module::load(host::defaultBundlePath(), &error);
    ASSERT_TRUE(module) << error;
  }
  std::unique_ptr<host::Module> module;
};

TEST_F(ModuleTest, FactoryAnnouncesTheVendor) {
  const PFactoryInfo info = module->factoryInfo();
  EXPECT_STREQ(info.vendor, "Veltmark");
  EXPECT_EQ(std::string(info.url).rfind("https://", 0), 0u) << info.url;
  EXPECT_STREQ(info.email, "");
  EXPECT_EQ(info.flags, 16);  // kUnicode
}

TEST_F(ModuleTest, FactoryAnnouncesProcessorThenController) {
  const auto classes = module->classes();
  ASSERT_EQ(classes.size(), 2u);
  const host::ClassInfo& processor = classes[0];
  const host::ClassInfo& controller = classes[1];

  EXPECT_EQ(processor.cid, FUID(0x6B1E2F7A, 0x3C9D4E81, 0xA25F0B63, 0x1D84C7E9));
  EXPECT_EQ(processor.cardinality, 0x7FFFFFFF);
  EXPECT_EQ(processor.category, "Audio Module Class");
  EXPECT_EQ(processor.name, "Tavrena");
  EXPECT_EQ(processor.classFlags, 1u);  // kDistributable
  EXPECT_EQ(processor.subCategories, "Instrument|Generator");
  EXPECT_EQ(processor.vendor, "");
  EXPECT_EQ(processor.version, "0.1.20");
  EXPECT_EQ(processor.sdkVersion, kVstVersionString);

  EXPECT_EQ(controller.cid, FUID(0x94F3A2C0, 0x58B14D27, 0xBE6C9F15, 0x02A7E3D8));
  EXPECT_EQ(controller.cardinality, 0x7FFFFFFF);
  EXPECT_EQ(controller.category, "Component Controller Class");
  EXPECT_EQ(controller.name, "Tavrena Controller");
  EXPECT_EQ(controller.classFlags, 0u);
  EXPECT_EQ(controller.subCategories, "");
  EXPECT_EQ(controller.vendor, "");
  EXPECT_EQ(controller.version, "0.1.20");
  EXPECT_EQ(controller.sdkVersion, kVstVersionString);
}

TEST_F(ModuleTest, UnicodeAndVersionOneInformationAgreeWithVersionTwo) {
  const auto classes = module->classes();
  const auto unicode = module->classesUnicode();
  ASSERT_EQ(unicode.size(), classes.size());
  for (std::size_t i = 0; i < classes.size(); ++i) {
    EXPECT_EQ(unicode[i].cid, classes[i].cid);
    EXPECT_EQ(unicode[i].name, classes[i].name);
    EXPECT_EQ(unicode[i].category, classes[i].category);
    EXPECT_EQ(unicode[i].subCategories, classes[i].subCategories);
    EXPECT_EQ(unicode[i].version, classes[i].version);
    EXPECT_EQ(unicode[i].sdkVersion, classes[i].sdkVersion);
    EXPECT_EQ(unicode[i].classFlags, classes[i].classFlags);

    PClassInfo info1;
    ASSERT_EQ(module->factory()->getClassInfo(static_cast<int32>(i), &info1), kResultOk);
    EXPECT_EQ(FUID::fromTUID(info1.cid), classes[i].cid);
    EXPECT_EQ(info1.name, classes[i].name);
  }
  PClassInfo beyond;
  EXPECT_EQ(module->factory()->getClassInfo(static_cast<int32>(classes.size()), &beyond),
            kInvalidArgument);
  EXPECT_EQ(module->factory()->getClassInfo(-1, &beyond), kInvalidArgument);
}

TEST_F(ModuleTest, GetPluginFactoryReturnsOneFactoryWithAReferenceEach) {
  auto getFactory = reinterpret_cast<GetFactoryProc>(module->symbol("GetPluginFactory"));
  ASSERT_NE(getFactory, nullptr);
  IPluginFactory* again = getFactory();
  EXPECT_EQ(again, module->factory());
  // Our reference plus the module loader's: releasing ours leaves one.
  EXPECT_EQ(again->release(), 1u);
}

TEST_F(ModuleTest, ClassesAnswerTheirInterfaces) {
  IPtr<IComponent> component = module->create<IComponent>(kProcessorUID);
  ASSERT_TRUE(component);
  EXPECT_TRUE(FUnknownPtr<IAudioProcessor>(component));
  EXPECT_TRUE(FUnknownPtr<IConnectionPoint>(component));
  EXPECT_TRUE(FUnknownPtr<IProcessContextRequirements>(component));
  TUID controllerId{};
  ASSERT_EQ(component->getControllerClassId(controllerId), kResultOk);
  EXPECT_EQ(FUID::fromTUID(controllerId), kControllerUID);

  IPtr<IEditController> controller = module->create<IEditController>(kControllerUID);
  ASSERT_TRUE(controller);
  EXPECT_TRUE(FUnknownPtr<IConnectionPoint>(controller));
  EXPECT_FALSE(FUnknownPtr<IAudioProcessor>(controller));

  // The processor's class identifier never yields a controller, nor the reverse.
  EXPECT_FALSE(module->create<IEditController>(kProcessorUID));
  EXPECT_FALSE(module->create<IComponent>(kControllerUID));
}

TEST_F(ModuleTest, UnknownClassesAndBadArgumentsAreRefused) {
  const FUID unknown(1, 2, 3, 4);
  void* object = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(module->factory()->createInstance(unknown.toTUID(), IComponent::iid.toTUID(), &object),
            kNoInterface);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(
      module->factory()->createInstance(kControllerUID.toTUID(), IComponent::iid.toTUID(), nullptr),
      kInvalidArgument);
}

TEST_F(ModuleTest, EntryAndExitNestAndAnUnmatchedExitFails) {
#ifdef _WIN32
  auto initDll = reinterpret_cast<bool (*)()>(module->symbol(host::kModuleEntryName));
  auto entry = [initDll](void*) { return initDll(); };
  ASSERT_TRUE(initDll);
#else
  auto entry = reinterpret_cast<bool (*)(void*)>(module->symbol(host::kModuleEntryName));
  ASSERT_TRUE(entry);
#endif
  auto exit = reinterpret_cast<bool (*)()>(module->symbol(host::kModuleExitName));
  ASSERT_TRUE(exit);

  // The loader holds one reference.
  EXPECT_TRUE(entry(module->handle()));
  EXPECT_TRUE(exit());
  EXPECT_TRUE(exit());   // the loader's reference: the module is terminated
  EXPECT_FALSE(exit());  // unmatched
  EXPECT_FALSE(exit());
  // Unmatched exits did not push the count below zero: one entry holds the module
  // again, and the loader's final exit balances it.
  EXPECT_TRUE(entry(module->handle()));
  IPtr<IEditController> controller = module->create<IEditController>(kControllerUID);
  EXPECT_TRUE(controller);
}

TEST_F(ModuleTest, OnlyTheEntryPointsAreExported) {
  EXPECT_NE(module->symbol("GetPluginFactory"), nullptr);
  EXPECT_NE(module->symbol(host::kModuleEntryName), nullptr);
  EXPECT_NE(module->symbol(host::kModuleExitName), nullptr);
  // SDK and project symbols stay inside: a host's own SDK copies cannot capture them.
  for (const char* hidden : {"_ZN9Steinberg14gPluginFactoryE", "_Z10InitModulev",
                             "_ZN9Steinberg3Vst10IComponent3iidE", "_ZN7tavrena11enterModuleEv"})
    EXPECT_EQ(module->symbol(hidden), nullptr) << hidden;
}

#ifdef _WIN32
// The page travels inside the DLL as RCDATA; the module finds it by its own handle,
// which is not the executable's.
TEST_F(ModuleTest, PageResourcesAreInTheModuleNotTheExecutable) {
  const auto module_handle = static_cast<HMODULE>(module->handle());
  const HRSRC info = FindResourceW(module_handle, L"TAVRENA_INDEX_HTML", MAKEINTRESOURCEW(10));
  ASSERT_NE(info, nullptr);
  const HGLOBAL loaded = LoadResource(module_handle, info);
  ASSERT_NE(loaded, nullptr);
  const std::string bytes(static_cast<const char*>(LockResource(loaded)),
                          SizeofResource(module_handle, info));
  std::ifstream file(std::string(TAVRENA_RESOURCE_DIR) + "/index.html", std::ios::binary);
  EXPECT_EQ(bytes, std::string(std::istreambuf_iterator<char>(file), {}));
  EXPECT_EQ(FindResourceW(module_handle, L"TAVRENA_NO_SUCH_FILE", MAKEINTRESOURCEW(10)), nullptr);

  // The module records where it was loaded from: the bundle's architecture folder.
  wchar_t path[MAX_PATH] = {};
  ASSERT_GT(GetModuleFileNameW(module_handle, path, MAX_PATH), 0u);
  EXPECT_TRUE(std::wstring(path).ends_with(L"\\Contents\\x86_64-win\\Tavrena.vst3"));
}
#else
// Linux only: the Windows module's folder comes from GetModuleFileNameW in DllMain.

TEST_F(ModuleTest, FolderOfTheLoadedModuleIsItsArchitectureFolder) {
  const std::string binary = module->binaryPath();
  const std::string expected = binary.substr(0, binary.find_last_of('/') + 1);
  EXPECT_EQ(folderOfLoadedObject(module->handle()), expected);
  EXPECT_TRUE(expected.ends_with("-linux/")) << expected;
}

#endif  // _WIN32

TEST_F(ModuleTest, ModuleInfoDescribesTheFactory) {
  const std::string path = host::defaultBundlePath() + "/Contents/Resources/moduleinfo.json";
  std::ifstream file(path);
  ASSERT_TRUE(file) << path;
  const auto info = nlohmann::json::parse(std::string(std::istreambuf_iterator<char>(file), {}));

  EXPECT_EQ(info.at("Name"), "Tavrena");
  EXPECT_EQ(info.at("Version"), "0.1.20");
  EXPECT_EQ(info.at("Factory Info").at("Vendor"), "Veltmark");
  EXPECT_EQ(info.at("Factory Info").at("Flags").at("Unicode"), true);
  const auto classes = module->classes();
  ASSERT_EQ(info.at("Classes").size(), classes.size());
  EXPECT_EQ(info.at("Classes")[0].at("CID"), "6B1E2F7A3C9D4E81A25F0B631D84C7E9");
  EXPECT_EQ(info.at("Classes")[1].at("CID"), "94F3A2C058B14D27BE6C9F1502A7E3D8");
  for (std::size_t i = 0; i < classes.size(); ++i) {
    const auto& entry = info.at("Classes")[i];
    EXPECT_EQ(entry.at("Name"), classes[i].name);
    EXPECT_EQ(entry.at("Category"), classes[i].category);
    EXPECT_EQ(entry.at("Class Flags"), classes[i].classFlags);
    EXPECT_EQ(entry.at("SDKVersion"), classes[i].sdkVersion);
  }
  EXPECT_EQ(info.at("Classes")[0].at("Sub Categories"),
            nlohmann::json::array({"Instrument", "Generator"}));
}

}  // namespace
}  // namespace tavrena
