#include "vstwebview/plugin_view.h"

#include <utility>

namespace vstwebview {

using namespace Steinberg;

WebviewPluginView::WebviewPluginView(Vst::EditController* controller, std::string title,
                                     std::vector<Bindings*> bindings, const ViewRect& rect,
                                     std::string url, BrowserFactory factory)
    : EditorView(controller, const_cast<ViewRect*>(&rect)),  // the SDK only copies it
      title_(std::move(title)),
      bindings_(std::move(bindings)),
      url_(std::move(url)),
      factory_(std::move(factory)) {}

WebviewPluginView::~WebviewPluginView() {
  url_.clear();
  bindings_.clear();
  browser_.reset();
  // The SDK's view never releases its frame; this one holds a counted reference.
  if (plugFrame) plugFrame->release();
  plugFrame = nullptr;
}

tresult PLUGIN_API WebviewPluginView::isPlatformTypeSupported(FIDString type) {
  return type && FIDStringsEqual(type, PlatformViewType()) ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API WebviewPluginView::attached(void* parent, FIDString type) {
  // A browser embedded in a window of another kind, or in none, would crash or float free.
  if (isPlatformTypeSupported(type) != kResultTrue) return kResultFalse;
  if (!parent) return kInvalidArgument;
  return EditorView::attached(parent, type);
}

void WebviewPluginView::attachedToParent() {
  if (!browser_ && factory_) {
    std::unique_ptr<Webview> created;
    try {
      BrowserRequest request;
      request.parent = systemWindow;
      request.ready = [this](Webview* webview) { onBrowserReady(webview); };
      request.frame = plugFrame;
      request.width = rect.getWidth();
      request.height = rect.getHeight();
      created = factory_(request);
    } catch (...) {
      created = nullptr;  // as when the browser fails to start: the view stays empty
    }
    browser_ = std::move(created);
  }
  EditorView::attachedToParent();
}

void WebviewPluginView::onBrowserReady(Webview* webview) {
  if (!webview) return;
  // Called from the browser's own event handler, which must not see an exception: a
  // failure leaves the editor blank, as a browser that never becomes ready does.
  try {
    for (Bindings* binding : bindings_)
      if (binding) binding->Bind(webview);
    webview->SetWindowTitle(title_);
    webview->ResizeWindow(rect.getWidth(), rect.getHeight(), ResizeMode::Fixed);
    webview->LoadUrl(url_.empty() ? webview->ContentRootUrl() + "/index.html" : url_);
  } catch (...) {
  }
}

void WebviewPluginView::removedFromParent() {
  if (browser_) {
    // A browser in another process may fail to say goodbye; it is destroyed all the same,
    // and the host never sees the failure.
    try {
      browser_->Shutdown();
    } catch (...) {
    }
    browser_.reset();
  }
  EditorView::removedFromParent();
}

tresult PLUGIN_API WebviewPluginView::onSize(ViewRect* newSize) {
  if (!newSize) return kResultTrue;
  {
    // Recursive: a host that answers the browser's resize by resizing the view again
    // re-enters here on the same thread.
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    try {
      if (browser_)
        browser_->ResizeWindow(newSize->getWidth(), newSize->getHeight(), ResizeMode::Free);
    } catch (...) {
      // The host's size is recorded below; the next browser starts from it.
    }
  }
  return EditorView::onSize(newSize);
}

tresult PLUGIN_API WebviewPluginView::onFocus(TBool) {
  return kResultTrue;
}

tresult PLUGIN_API WebviewPluginView::setFrame(IPlugFrame* frame) {
  if (frame == plugFrame) return kResultTrue;
  if (frame) frame->addRef();
  if (plugFrame) plugFrame->release();
  plugFrame = frame;
  return kResultTrue;
}

}  // namespace vstwebview
