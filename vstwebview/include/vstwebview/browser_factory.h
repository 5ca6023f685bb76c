#pragma once
// How the plug-in view gets its browser, and what the platform's browser expects of it.
// The view never names a browser class: it asks a BrowserFactory, and the build picks the
// platform's default (browser_factory_win32.cpp or browser_factory_linux.cpp).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "pluginterfaces/gui/iplugview.h"
#include "vstwebview/virtual_origin.h"
#include "vstwebview/webview.h"

namespace vstwebview {

// What the view hands the factory when the host attaches it.
struct BrowserRequest {
  void* parent = nullptr;  // the host's window, of the view's platform type
  bool debug = false;
  ReadyCallback ready;
  // The host's frame (may be null): on Linux it offers the run loop the browser is served on.
  Steinberg::IPlugFrame* frame = nullptr;
  std::int32_t width = 0;  // the view's size
  std::int32_t height = 0;
};

// A new browser embedded in request.parent, or null when no browser can start.
// User-interface thread.
using BrowserFactory = std::function<std::unique_ptr<Webview>(const BrowserRequest& request)>;

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
