#include "pluginterfaces/gui/iplugview.h"
#include "vstwebview/browser_factory.h"

#if defined(TAVRENA_WITH_WEBVIEW2)
#include "vstwebview/edge_chromium_browser.h"
#endif

namespace vstwebview {

BrowserFactory DefaultBrowserFactory() {
#if defined(TAVRENA_WITH_WEBVIEW2)
  return [](const BrowserRequest& request) -> std::unique_ptr<Webview> {
    return CreateEdgeChromiumBrowser(static_cast<HWND>(request.parent), request.debug,
                                     request.ready, &CreateCoreWebView2EnvironmentWithOptions);
  };
#else
  // Built without the WebView2 SDK: no browser starts and the editor area stays empty.
  return [](const BrowserRequest&) -> std::unique_ptr<Webview> { return nullptr; };
#endif
}

const char* PlatformViewType() {
  return Steinberg::kPlatformTypeHWND;
}

std::string PlatformPageUrl() {
  return std::string(kVirtualOrigin) + "index.html";
}

}  // namespace vstwebview
