// Loading the module as a Windows DAW does: LoadLibraryW on the bundle's binary, InitDll,
// GetPluginFactory; and the reverse on unloading.
#include <windows.h>

#include <string>

#include "host/module.h"

namespace tavrena::host {

using namespace Steinberg;

namespace {

std::wstring widen(const std::string& text) {
  if (text.empty()) return {};
  const int size =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return wide;
}

std::string lastError() {
  return "LoadLibraryW failed with error " + std::to_string(GetLastError());
}

}  // namespace

std::string moduleBinaryPath(const std::string& bundlePath) {
  std::string bundle = bundlePath;
  for (char& c : bundle)
    if (c == '/') c = '\\';
  while (bundle.size() > 1 && bundle.back() == '\\') bundle.pop_back();
  std::string name = bundle.substr(bundle.find_last_of('\\') + 1);
  if (const auto dot = name.rfind(".vst3"); dot != std::string::npos) name.resize(dot);
  return bundle + "\\Contents\\x86_64-win\\" + name + ".vst3";
}

std::unique_ptr<Module> Module::load(const std::string& bundlePath, std::string* error) {
  auto fail = [error](std::string message) -> std::unique_ptr<Module> {
    if (error) *error = std::move(message);
    return nullptr;
  };
  std::unique_ptr<Module> module(new Module());
  module->binaryPath_ = moduleBinaryPath(bundlePath);
  module->handle_ = LoadLibraryW(widen(module->binaryPath_).c_str());
  if (!module->handle_) return fail(lastError() + " for " + module->binaryPath_);

  auto unload = [&module] {
    FreeLibrary(static_cast<HMODULE>(module->handle_));
    module->handle_ = nullptr;
  };
  using EntryFunction = bool (*)();
  auto entry = reinterpret_cast<EntryFunction>(module->symbol(kModuleEntryName));
  auto getFactory = reinterpret_cast<GetFactoryProc>(module->symbol("GetPluginFactory"));
  if (!entry || !getFactory || !module->symbol(kModuleExitName)) {
    unload();
    return fail("module lacks InitDll, ExitDll or GetPluginFactory");
  }
  if (!entry()) {
    unload();
    return fail("InitDll returned false");
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
  FreeLibrary(static_cast<HMODULE>(handle_));
}

void* Module::symbol(const char* name) const {
  return handle_ ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name))
                 : nullptr;
}

}  // namespace tavrena::host
