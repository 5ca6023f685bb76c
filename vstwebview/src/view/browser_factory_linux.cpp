#include <cstdio>

#include "pluginterfaces/gui/iplugview.h"
#include "vstwebview/browser_factory.h"

namespace vstwebview {

BrowserFactory DefaultBrowserFactory() {
  // No browser can be embedded in an X11 window yet: the view stays empty and everything
  // else (state, generation, playback) works as usual.
  return [](void*, bool, ReadyCallback) -> std::unique_ptr<Webview> {
    std::fputs("Tavrena editor: no browser available on this system\n", stderr);
    return nullptr;
  };
}

const char* PlatformViewType() {
  return Steinberg::kPlatformTypeX11EmbedWindowID;
}

std::string PlatformPageUrl() {
  return {};  // the browser's own origin
}

}  // namespace vstwebview
