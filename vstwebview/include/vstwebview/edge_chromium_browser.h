#pragma once
// Windows only: the editor page in a Microsoft Edge WebView2 control on the host window. It
// wires WebView2's events to the script bridge, keeps navigation inside kVirtualOrigin and
// answers every request for that origin from the module's resources.
//
// Threads: the host's user-interface thread (a single-threaded apartment with a message loop);
// WebView2 raises every handler there. Handlers that reach the browser hold a share of its
// liveness token and do nothing once it is false, so a late callback never touches a browser
// that was shut down or destroyed.
#include <memory>
#include <string>

#include "WebView2.h"
#include "vstwebview/com_ref.h"
#include "vstwebview/resource_server.h"
#include "vstwebview/webview_win32.h"

namespace vstwebview {

// CreateCoreWebView2EnvironmentWithOptions of the SDK's loader, or a stand-in for tests.
using CreateEnvironmentFunction = HRESULT(STDMETHODCALLTYPE*)(
    PCWSTR browserExecutableFolder, PCWSTR userDataFolder,
    ICoreWebView2EnvironmentOptions* environmentOptions,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler);

class EdgeChromiumBrowser : public WebviewWin32 {
 public:
  EdgeChromiumBrowser(HWND parent, bool debug, ReadyCallback ready,
                      CreateEnvironmentFunction createEnvironment);
  ~EdgeChromiumBrowser() override;

  std::string ContentRootUrl() override;  // kVirtualOrigin without its trailing "/"
  void LoadUrl(const std::string& url) override;
  void EvalJS(const std::string& script, ScriptResultCallback callback) override;
  void AddDocumentScript(const std::string& script) override;
  void RunTask(std::function<void()> task) override;  // at once, on the calling thread
  void Shutdown() override;

  bool CreateEnvironment() override;
  void FitControllerToWindow() override;

  // The WebView2 user-data folder; empty when the runtime picks its default.
  const wchar_t* UserDataFolder() const { return userDataFolder_; }

 private:
  HRESULT OnEnvironmentCreated(HRESULT result, ICoreWebView2Environment* environment);
  HRESULT OnControllerCreated(HRESULT result, ICoreWebView2Controller* controller);
  HRESULT OnWebMessageReceived(ICoreWebView2WebMessageReceivedEventArgs* args);
  HRESULT OnPermissionRequested(ICoreWebView2PermissionRequestedEventArgs* args);
  HRESULT OnWebResourceRequested(ICoreWebView2WebResourceRequestedEventArgs* args);
  void CloseController();

  wchar_t userDataFolder_[MAX_PATH] = {};
  ComRef<ICoreWebView2> webview_;
  ComRef<ICoreWebView2Controller> controller_;
  ComRef<ICoreWebView2Environment> environment_;
  ComRef<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler> environmentCompleted_;
  ComRef<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler> controllerCompleted_;
  ComRef<ICoreWebView2WebMessageReceivedEventHandler> webMessageReceived_;
  ComRef<ICoreWebView2PermissionRequestedEventHandler> permissionRequested_;
  ComRef<ICoreWebView2Settings> settings_;
  std::shared_ptr<bool> alive_;
  CreateEnvironmentFunction createEnvironment_;
  ResourceServer resources_;
  bool controllerClosed_ = false;
};

// The browser for a view: constructed, then asked for its environment; null when WebView2
// refuses (the diagnostic line is the only report).
std::unique_ptr<EdgeChromiumBrowser> CreateEdgeChromiumBrowser(
    HWND parent, bool debug, ReadyCallback ready, CreateEnvironmentFunction createEnvironment);

}  // namespace vstwebview
