#include <dlfcn.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "pluginterfaces/gui/iplugview.h"
#include "vstwebview/browser_factory.h"
#include "vstwebview/embedded_editor.h"
#include "vstwebview/host_run_loop.h"
#include "vstwebview/resource_server.h"

namespace vstwebview {

namespace {

// The helper's private origin: WebKitGTK serves custom schemes only (it will not intercept
// https), and gives this one the page's full 'self' treatment.
constexpr char kHelperOrigin[] = "tavrena://app/";
constexpr char kHelperName[] = "tavrena-webview";

// The helper sits beside the module that contains this code.
std::string helperPath() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&helperPath), &info) == 0 || !info.dli_fname) return {};
  return (std::filesystem::path(info.dli_fname).parent_path() / kHelperName).string();
}

// TAVRENA_EDITOR_RESOURCES names a folder to serve the page from instead of the module's own
// copy, for working on the page (and testing the editor) without rebuilding the module.
ResourceLookup pageResources() {
  const char* folder = std::getenv("TAVRENA_EDITOR_RESOURCES");
  if (folder && *folder) return FolderResourceLookup(folder);
  return EmbeddedResourceLookup();
}

}  // namespace

BrowserFactory DefaultBrowserFactory() {
  return [](const BrowserRequest& request) -> std::unique_ptr<Webview> {
    auto loop = HostRunLoop::FromFrame(request.frame);
    if (!loop) {
      // Without the host's run loop nothing could serve the helper on the host's thread.
      std::fputs("Tavrena editor: the host offers no run loop (Linux::IRunLoop) for the editor\n",
                 stderr);
      return nullptr;
    }
    EmbeddedEditorOptions options;
    options.helperPath = helperPath();
    options.hostWindow =
        static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(request.parent));
    options.width = request.width;
    options.height = request.height;
    options.origin = kHelperOrigin;
    options.resources = pageResources();
    options.loop = std::move(loop);
    options.ready = request.ready;
    return std::make_unique<EmbeddedEditor>(std::move(options));
  };
}

const char* PlatformViewType() {
  return Steinberg::kPlatformTypeX11EmbedWindowID;
}

std::string PlatformPageUrl() {
  return {};  // the browser's own origin
}

}  // namespace vstwebview
