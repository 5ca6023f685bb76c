#pragma once
// The script bridge: a native function becomes a global script function of the page.
// Each call in the page returns a promise, reaches HandleNativeRequest as one JSON
// request text, runs the function on the web view's thread, and is settled by a reply
// script evaluated in the page. Platform browsers derive from Webview and supply the
// operations the bridge needs.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "theory/json.h"

namespace vstwebview {

class Webview;

using Json = tavrena::Json;

// (webview, the request's sequence number, the called name, the request's "params")
// -> the value that resolves the page's promise.
using NativeFunction = std::function<Json(Webview* webview, std::int32_t seq,
                                          const std::string& name, const Json& params)>;

// Receives the result of a script evaluated in the page.
using ScriptResultCallback = std::function<void(const Json& result)>;

// Called by a browser once, when its page can be loaded and functions bound
// (user-interface thread). The browser owns it.
using ReadyCallback = std::function<void(Webview* webview)>;

enum class ResizeMode { Free = 0, Minimum = 1, Maximum = 2, Fixed = 3 };

class Webview {
 public:
  virtual ~Webview();

  virtual void SetWindowTitle(const std::string& title) = 0;
  virtual void ResizeWindow(std::int32_t width, std::int32_t height, ResizeMode mode) = 0;
  virtual std::string ContentRootUrl() = 0;
  virtual void LoadUrl(const std::string& url) = 0;
  // Evaluates script in the current document.
  virtual void EvalJS(const std::string& script, ScriptResultCallback callback) = 0;
  // Runs script at the start of every document created from now on, before the
  // page's own scripts.
  virtual void AddDocumentScript(const std::string& script) = 0;
  virtual void* NativeWindow() = 0;
  virtual void Shutdown() = 0;
  // Runs task in the web view's thread context.
  virtual void RunTask(std::function<void()> task) = 0;

  // Makes window[name] callable in every document loaded from now on; binding a name
  // again replaces its function. name must be a plain identifier: it is written into
  // the script unescaped.
  void ExposeFunction(const std::string& name, NativeFunction function);
  // Removes window[name] from the current and later documents; unknown names are ignored.
  void UnbindFunction(const std::string& name);
  // One message the page posted through window.external.invoke. The function may run a
  // modal loop (the save dialog, a drag) in which the host destroys the editor, and with it
  // this browser: then the reply is dropped and nothing of the browser is touched again.
  void HandleNativeRequest(const std::string& text);

  bool IsBound(const std::string& name) const { return bindings_.count(name) != 0; }

 protected:
  // A browser being torn down forgets its functions.
  void ClearBindings() { bindings_.clear(); }

 private:
  // Settles the page's promise seq: resolved when status is 0, rejected otherwise.
  void ResolveFunctionDispatch(std::int32_t seq, int status, const Json& result);

  std::map<std::string, NativeFunction> bindings_;
  // Expires with the browser, for code still on the stack when it goes.
  std::shared_ptr<const bool> alive_ = std::make_shared<const bool>(true);
};

// The page-side script ExposeFunction registers for name (exposed for tests).
std::string ExposeScript(const std::string& name);

// The reply script that settles promise seq with resultText (compact JSON).
std::string ReplyScript(std::int32_t seq, bool resolve, const std::string& resultText);

}  // namespace vstwebview
