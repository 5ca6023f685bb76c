#include "pluginterfaces/gui/iplugview.h"
#include "vstwebview/browser_factory.h"

namespace vstwebview {

BrowserFactory DefaultBrowserFactory() {
  // The WebView2 browser is built only where the WebView2 SDK is available; this build has
  // none, so no browser starts and the editor area stays empty.
  return [](const BrowserRequest&) -> std::unique_ptr<Webview> { return nullptr; };
}

const char* PlatformViewType() {
  return Steinberg::kPlatformTypeHWND;
}

std::string PlatformPageUrl() {
  return std::string(kVirtualOrigin) + "index.html";
}

}  // namespace vstwebview
