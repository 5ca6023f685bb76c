#pragma once
// The plug-in's editor: the editor page in a browser, 1200 x 800 at first, resizable from
// 900 to 1920 pixels wide with the height two thirds of the width.
#include <memory>

#include "editor_services.h"
#include "vstwebview/browser_factory.h"
#include "vstwebview/plugin_view.h"

namespace tavrena {

class Controller;

class View : public vstwebview::WebviewPluginView {
 public:
  // The controller is the view's only Bindings: the page's native functions are its.
  explicit View(Controller* controller,
                vstwebview::BrowserFactory factory = vstwebview::DefaultBrowserFactory());

  Steinberg::tresult PLUGIN_API canResize() override { return Steinberg::kResultTrue; }
  // Clamps the width to 900..1920 and sets the height from it; left and top stay.
  Steinberg::tresult PLUGIN_API checkSizeConstraint(Steinberg::ViewRect* rect) override;

  // The browser also serves the controller's export, drag and web-site functions while the
  // view is attached (where the platform's browser can).
  void attachedToParent() override;
  void removedFromParent() override;

 private:
  Controller* owner_;
  std::shared_ptr<EditorServices> services_;
};

// The services the platform's browser offers the page's native functions, or null.
std::shared_ptr<EditorServices> editorServicesFor(vstwebview::Webview* browser);

}  // namespace tavrena
