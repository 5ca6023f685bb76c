#pragma once
// The side of the script bridge that owns native functions: the plug-in view calls
// Bind once the browser of a new editor is ready, and the implementer registers its
// functions on that web view.

namespace vstwebview {

class Webview;

class Bindings {
 public:
  virtual ~Bindings() = default;

  // Registers the native functions on webview (user-interface thread).
  virtual void Bind(Webview* webview) = 0;
};

}  // namespace vstwebview
