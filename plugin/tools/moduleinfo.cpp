// Writes a VST 3 bundle's Contents/Resources/moduleinfo.json by loading the built module
// the way a host does and reading its factory, so the file always matches the classes.
// Usage: tavrena_moduleinfo <module binary> <output .json>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "loaded_module.h"
#include "nlohmann/json.hpp"
#include "pluginterfaces/base/ipluginbase.h"

using namespace Steinberg;
using Json = nlohmann::ordered_json;  // the SDK's tools write keys in this order

namespace {

std::string classIdText(const TUID cid) {
  const FUID id = FUID::fromTUID(cid);
  char text[33];
  std::snprintf(text, sizeof(text), "%08X%08X%08X%08X", id.getLong1(), id.getLong2(), id.getLong3(),
                id.getLong4());
  return text;
}

std::vector<std::string> splitSubCategories(const std::string& text) {
  std::vector<std::string> parts;
  std::string::size_type start = 0;
  while (start <= text.size() && !text.empty()) {
    const auto bar = text.find('|', start);
    parts.push_back(text.substr(start, bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  return parts;
}

int fail(const std::string& message) {
  std::fprintf(stderr, "tavrena_moduleinfo: %s\n", message.c_str());
  return 1;
}

// The module's name is its binary's (and bundle's) name: Tavrena.so (Windows: Tavrena.vst3)
// in Tavrena.vst3.
std::string moduleNameOf(const std::string& path) {
  std::string name = path.substr(path.find_last_of("/\\") + 1);
  if (const auto dot = name.rfind('.'); dot != std::string::npos) name.resize(dot);
  return name;
}

Json describe(const std::string& moduleName, IPluginFactory* factory) {
  PFactoryInfo factoryInfo;
  factory->getFactoryInfo(&factoryInfo);
  Json classes = Json::array();
  IPluginFactory2* factory2 = nullptr;
  factory->queryInterface(IPluginFactory2::iid, reinterpret_cast<void**>(&factory2));
  std::string moduleVersion;
  for (int32 index = 0; index < factory->countClasses(); ++index) {
    PClassInfo2 info;
    if (!factory2 || factory2->getClassInfo2(index, &info) != kResultOk) continue;
    if (moduleVersion.empty()) moduleVersion = info.version;
    classes.push_back({{"CID", classIdText(info.cid)},
                       {"Category", info.category},
                       {"Name", info.name},
                       {"Vendor", info.vendor[0] ? info.vendor : factoryInfo.vendor},
                       {"Version", info.version},
                       {"SDKVersion", info.sdkVersion},
                       {"Sub Categories", splitSubCategories(info.subCategories)},
                       {"Class Flags", info.classFlags},
                       {"Cardinality", info.cardinality},
                       {"Snapshots", Json::array()}});
  }
  if (factory2) factory2->release();
  return {{"Name", moduleName},
          {"Version", moduleVersion},
          {"Factory Info",
           {{"Vendor", factoryInfo.vendor},
            {"URL", factoryInfo.url},
            {"E-Mail", factoryInfo.email},
            {"Flags",
             {{"Unicode", (factoryInfo.flags & PFactoryInfo::kUnicode) != 0},
              {"Classes Discardable", (factoryInfo.flags & PFactoryInfo::kClassesDiscardable) != 0},
              {"Component Non Discardable",
               (factoryInfo.flags & PFactoryInfo::kComponentNonDiscardable) != 0}}}}},
          {"Compatibility", Json::array()},
          {"Classes", classes}};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return fail("usage: tavrena_moduleinfo <module> <moduleinfo.json>");
  std::string error;
  LoadedModule module;
  if (!module.load(argv[1], &error)) return fail(error);
  int result = 0;
  if (IPluginFactory* factory = module.factory()) {
    const Json info = describe(moduleNameOf(argv[1]), factory);
    factory->release();
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out << info.dump(2) << '\n';
    if (!out) result = fail(std::string("cannot write ") + argv[2]);
  } else {
    result = fail("GetPluginFactory returned no factory");
  }
  return result;
}
