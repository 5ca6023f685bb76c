#pragma once
// A VST 3 plug-in view whose whole surface is a browser: attaching creates the browser,
// resizing sizes it, removing shuts it down and destroys it. Once a browser is ready, the
// view's Bindings register their native functions on it, then the title, the size and the
// page are set.
//
// Threads: the host calls every operation on its user-interface thread; the browser is
// created, sized and destroyed there, and its ready callback arrives there.
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "public.sdk/source/vst/vsteditcontroller.h"
#include "vstwebview/bindings.h"
#include "vstwebview/browser_factory.h"
#include "vstwebview/webview.h"

namespace vstwebview {

class WebviewPluginView : public Steinberg::Vst::EditorView {
 public:
  // bindings are not owned and must outlive the view. An empty url loads
  // ContentRootUrl() + "/index.html" of each new browser.
  WebviewPluginView(Steinberg::Vst::EditController* controller, std::string title,
                    std::vector<Bindings*> bindings, const Steinberg::ViewRect& rect,
                    std::string url, BrowserFactory factory = DefaultBrowserFactory());
  ~WebviewPluginView() override;
  WebviewPluginView(const WebviewPluginView&) = delete;
  WebviewPluginView& operator=(const WebviewPluginView&) = delete;

  // IPlugView
  Steinberg::tresult PLUGIN_API isPlatformTypeSupported(Steinberg::FIDString type) override;
  Steinberg::tresult PLUGIN_API attached(void* parent, Steinberg::FIDString type) override;
  Steinberg::tresult PLUGIN_API onSize(Steinberg::ViewRect* newSize) override;
  Steinberg::tresult PLUGIN_API onFocus(Steinberg::TBool state) override;
  Steinberg::tresult PLUGIN_API setFrame(Steinberg::IPlugFrame* frame) override;
  Steinberg::tresult PLUGIN_API canResize() override { return Steinberg::kResultFalse; }
  Steinberg::tresult PLUGIN_API checkSizeConstraint(Steinberg::ViewRect*) override {
    return Steinberg::kResultFalse;
  }

  // CPluginView
  void attachedToParent() override;
  void removedFromParent() override;

  // The current browser, null while detached or when none could start.
  Webview* browser() const { return browser_.get(); }

 private:
  void onBrowserReady(Webview* webview);

  std::recursive_mutex mutex_;  // held by onSize while it resizes the browser
  std::string title_;
  std::unique_ptr<Webview> browser_;
  std::vector<Bindings*> bindings_;
  std::string url_;
  BrowserFactory factory_;
};

}  // namespace vstwebview
