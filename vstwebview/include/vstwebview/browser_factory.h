#pragma once
// How the plug-in view gets its browser, and what the platform's browser expects of it.
// The view never names a browser class: it asks a BrowserFactory, and the build picks the
// platform's default (browser_factory_win32.cpp or browser_factory_linux.cpp).
#include <functional>
#include <memory>
#include <string>

#include "vstwebview/webview.h"

namespace vstwebview {

// Called by a browser once, when its page can be loaded and functions bound
// (user-interface thread). The browser owns it.
using ReadyCallback = std::function<void(Webview* webview)>;

// (parent window of the view's platform type, debug flag, ready callback) -> a new browser
// embedded in parent, or null when no browser can start. User-interface thread.
using BrowserFactory =
    std::function<std::unique_ptr<Webview>(void* parent, bool debug, ReadyCallback ready)>;

// The private origin of the embedded browser: scheme HTTPS, a host name no name service
// resolves (".invalid" is reserved for that), and the trailing "/".
inline constexpr const char kVirtualOrigin[] = "https://tavrena.invalid/";

// The platform's browser factory.
BrowserFactory DefaultBrowserFactory();

// The one IPlugView platform type whose parent window the platform's browser embeds in.
const char* PlatformViewType();

// The page the plug-in's view loads. Where the browser serves the page under kVirtualOrigin
// this is kVirtualOrigin + "index.html"; where the browser serves it under an origin of its
// own (a loopback server, a helper process) it is empty, so the view loads
// ContentRootUrl() + "/index.html" and the browser decides.
std::string PlatformPageUrl();

}  // namespace vstwebview
