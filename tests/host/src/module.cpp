#include "host/module.h"

#include "module_library.h"

#include <cstdlib>
#include <cstring>

namespace tavrena::host {

using namespace Steinberg;

std::string defaultBundlePath() {
  if (const char* path = std::getenv("TAVRENA_BUNDLE"); path && *path) return path;
  return TAVRENA_TEST_BUNDLE;
}

std::unique_ptr<Module> Module::load(const std::string& bundlePath, std::string* error) {
  auto fail = [error](std::string message) -> std::unique_ptr<Module> {
    if (error) *error = std::move(message);
    return nullptr;
  };
  std::unique_ptr<Module> module(new Module());
  module->binaryPath_ = moduleBinaryPath(bundlePath);
  std::string openError;
  module->handle_ = openLibrary(module->binaryPath_, &openError);
  if (!module->handle_) return fail(openError);

  auto getFactory = reinterpret_cast<GetFactoryProc>(module->symbol("GetPluginFactory"));
  if (!module->symbol(kModuleEntryName) || !getFactory || !module->symbol(kModuleExitName)) {
    closeLibrary(module->handle_);
    module->handle_ = nullptr;
    return fail(std::string("module lacks ") + kModuleEntryName + ", " + kModuleExitName +
                " or GetPluginFactory");
  }
  if (!callEntry(module->handle_)) {
    closeLibrary(module->handle_);
    module->handle_ = nullptr;
    return fail(std::string(kModuleEntryName) + " returned false");
  }
  module->factory_ = owned(getFactory());
  if (!module->factory_) return fail("GetPluginFactory returned null");
  return module;
}

Module::~Module() {
  if (!handle_) return;
  factory_ = nullptr;
  using ExitFunction = bool (*)();
  if (auto exit = reinterpret_cast<ExitFunction>(symbol(kModuleExitName))) exit();
  closeLibrary(handle_);
}

void* Module::symbol(const char* name) const {
  return handle_ ? findSymbol(handle_, name) : nullptr;
}

PFactoryInfo Module::factoryInfo() const {
  PFactoryInfo info;
  factory_->getFactoryInfo(&info);
  return info;
}

std::vector<ClassInfo> Module::classes() const {
  std::vector<ClassInfo> result;
  FUnknownPtr<IPluginFactory2> factory2(factory_);
  if (!factory2) return result;
  for (int32 index = 0; index < factory_->countClasses(); ++index) {
    PClassInfo2 info;
    if (factory2->getClassInfo2(index, &info) != kResultOk) continue;
    result.push_back({FUID::fromTUID(info.cid), info.cardinality, info.category, info.name,
                      info.classFlags, info.subCategories, info.vendor, info.version,
                      info.sdkVersion});
  }
  return result;
}

std::vector<ClassInfo> Module::classesUnicode() const {
  std::vector<ClassInfo> result;
  FUnknownPtr<IPluginFactory3> factory3(factory_);
  if (!factory3) return result;
  for (int32 index = 0; index < factory_->countClasses(); ++index) {
    PClassInfoW info;
    if (factory3->getClassInfoUnicode(index, &info) != kResultOk) continue;
    result.push_back({FUID::fromTUID(info.cid), info.cardinality, info.category, toUtf8(info.name),
                      info.classFlags, info.subCategories, toUtf8(info.vendor),
                      toUtf8(info.version), toUtf8(info.sdkVersion)});
  }
  return result;
}

std::string toUtf8(const char16* text) {
  std::string out;
  for (; text && *text; ++text) {
    char32_t code = static_cast<char16_t>(*text);
    if (code >= 0xD800 && code < 0xDC00 && text[1] >= 0xDC00 && text[1] < 0xE000) {
      code = 0x10000 + ((code - 0xD800) << 10) + (static_cast<char16_t>(text[1]) - 0xDC00);
      ++text;
    }
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return out;
}

std::basic_string<char16> toUtf16(const std::string& text) {
  std::basic_string<char16> out;
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const int length = byte < 0x80 ? 1 : byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
    char32_t code = length == 1   ? byte
                    : length == 2 ? byte & 0x1F
                    : length == 3 ? byte & 0x0F
                                  : byte & 0x07;
    for (int k = 1; k < length && i + static_cast<std::size_t>(k) < text.size(); ++k)
      code =
          (code << 6) | (static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]) & 0x3F);
    i += static_cast<std::size_t>(length);
    if (code >= 0x10000) {
      code -= 0x10000;
      out += static_cast<char16>(0xD800 + (code >> 10));
      out += static_cast<char16>(0xDC00 + (code & 0x3FF));
    } else {
      out += static_cast<char16>(code);
    }
  }
  return out;
}

}  // namespace tavrena::host
