#pragma once
// A Webview for any browser: the page is served over HTTP on 127.0.0.1, and the
// embedded browser's operations become HTTP exchanges with a script the host places
// in every page. The page's Content-Security-Policy stays as it is (same-origin
// scripts only, no eval): document scripts arrive as <script src> elements ahead of
// the page's own, invoke() posts the request text, and every script the host
// evaluates is the answer to a same-origin script element the page keeps waiting
// at the host, so scripts run one by one in the order they were issued.
//
// Security: only 127.0.0.1 is listened on; every URL carries a random 128-bit token
// and anything without it is 404; a Host header other than 127.0.0.1:port is refused
// (DNS rebinding), and so is a request from another origin.
//
// Threads: the bridge operations (EvalJS, AddDocumentScript, ExposeFunction...) run
// on the host's user-interface thread; HTTP requests arrive on the server's threads
// and reach the bridge only through the poster, which runs tasks on that thread in
// the order it receives them.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "vstwebview/resource_server.h"
#include "vstwebview/webview.h"

namespace vstwebview {

class WebviewLoopback : public Webview {
 public:
  // Runs a task on the user-interface thread, later, in the order posted.
  using Poster = std::function<void(std::function<void()>)>;

  WebviewLoopback(ResourceLookup lookup, Poster post);
  ~WebviewLoopback() override;
  WebviewLoopback(const WebviewLoopback&) = delete;
  WebviewLoopback& operator=(const WebviewLoopback&) = delete;

  // Listens on 127.0.0.1:port (0: any free port) with a new token. False with *error
  // set when the port cannot be bound.
  bool Start(int port, std::string* error);
  int Port() const;
  // "http://127.0.0.1:<port>/<token>/": every served URL starts with it.
  std::string Origin() const;
  // The page to open: Origin() + "index.html", or what LoadUrl last asked for.
  std::string PageUrl() const;

  void SetWindowTitle(const std::string& title) override;
  void ResizeWindow(std::int32_t width, std::int32_t height, ResizeMode mode) override;
  std::string ContentRootUrl() override;
  void LoadUrl(const std::string& url) override;
  // The script runs in the document whose request is being answered, otherwise in
  // the newest document. A browser page cannot hand a script's value back, so the
  // callback is never called (as when evaluation fails in the embedded browser).
  void EvalJS(const std::string& script, ScriptResultCallback callback) override;
  void AddDocumentScript(const std::string& script) override;
  void* NativeWindow() override { return nullptr; }
  // Stops serving; waiting requests are answered.
  void Shutdown() override;
  void RunTask(std::function<void()> task) override;

 private:
  class Server;
  std::unique_ptr<Server> server_;
  std::string title_;
  std::string page_;
};

}  // namespace vstwebview
