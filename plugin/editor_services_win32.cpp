// The Windows editor's services (save dialog, drag, shell) come with its WebView2 browser,
// which is built only where the WebView2 SDK exists; until then the page's export, drag and
// web-site functions answer false there.
#include "view.h"

namespace tavrena {

std::shared_ptr<EditorServices> editorServicesFor(vstwebview::Webview*) {
  return nullptr;
}

}  // namespace tavrena
