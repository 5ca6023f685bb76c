#pragma once
// A WebView2 runtime in the test's hands, behind our own declarations of its interfaces: it
// records what the browser asks of it in order, fails any call a test names, and completes
// environment and controller creation only when the test says so, as the real runtime does
// some time later on the message loop. Event arguments are filled and read by the tests.
#include <windows.h>

#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "WebView2.h"
#include "vstwebview/com_ref.h"

namespace tavrena::testing {

using vstwebview::ComRef;

// A counted fake of one interface; refs tells a test who still holds it.
template <class Interface>
class Fake : public Interface {
 public:
  virtual ~Fake() = default;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!IsEqualIID(iid, IID_IUnknown)) return E_NOINTERFACE;
    *object = static_cast<Interface*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs;
    if (left == 0) delete this;
    return left;
  }
  ULONG refs = 1;
};

template <class T>
ComRef<T> MakeFake() {
  return ComRef<T>::Adopt(new T());
}

// A runtime-allocated copy, as the runtime hands out strings; null stays null.
inline HRESULT RuntimeCopy(const std::optional<std::wstring>& text, LPWSTR* out) {
  *out = nullptr;
  if (!text) return S_OK;
  const std::size_t bytes = (text->size() + 1) * sizeof(wchar_t);
  *out = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
  if (!*out) return E_OUTOFMEMORY;
  std::memcpy(*out, text->c_str(), bytes);
  return S_OK;
}

// What every fake object shares: the call log and the calls set to fail.
struct RuntimeLog {
  std::vector<std::string> calls;
  std::map<std::string, HRESULT> failures;

  HRESULT Call(const std::string& name) {
    calls.push_back(name);
    const auto found = failures.find(name);
    return found == failures.end() ? S_OK : found->second;
  }
};

class FakeSettings : public Fake<ICoreWebView2Settings> {
 public:
  explicit FakeSettings(RuntimeLog& log) : log_(log) {}
  HRESULT STDMETHODCALLTYPE put_AreDevToolsEnabled(BOOL enabled) override {
    devToolsEnabled = enabled != FALSE;
    return log_.Call("put_AreDevToolsEnabled");
  }
  std::optional<bool> devToolsEnabled;

 private:
  RuntimeLog& log_;
};

class FakeWebView : public Fake<ICoreWebView2> {
 public:
  explicit FakeWebView(RuntimeLog& log)
      : settings(ComRef<FakeSettings>::Adopt(new FakeSettings(log))), log_(log) {}

  HRESULT STDMETHODCALLTYPE get_Settings(ICoreWebView2Settings** out) override {
    const HRESULT result = log_.Call("get_Settings");
    *out = nullptr;
    if (FAILED(result)) return result;
    settings->AddRef();
    *out = settings.Get();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Navigate(LPCWSTR uri) override {
    navigated.push_back(uri);
    return log_.Call("Navigate");
  }
  HRESULT STDMETHODCALLTYPE add_NavigationStarting(ICoreWebView2NavigationStartingEventHandler* h,
                                                   EventRegistrationToken*) override {
    return Keep(navigationStarting, h, "add_NavigationStarting");
  }
  HRESULT STDMETHODCALLTYPE add_PermissionRequested(ICoreWebView2PermissionRequestedEventHandler* h,
                                                    EventRegistrationToken*) override {
    return Keep(permissionRequested, h, "add_PermissionRequested");
  }
  HRESULT STDMETHODCALLTYPE AddScriptToExecuteOnDocumentCreated(
      LPCWSTR script, ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler*) override {
    documentScripts.push_back(script);
    return log_.Call("AddScriptToExecuteOnDocumentCreated");
  }
  HRESULT STDMETHODCALLTYPE
  ExecuteScript(LPCWSTR script, ICoreWebView2ExecuteScriptCompletedHandler* handler) override {
    executed.push_back(script);
    executeHandlers.push_back(ComRef<ICoreWebView2ExecuteScriptCompletedHandler>::Share(handler));
    return log_.Call("ExecuteScript");
  }
  HRESULT STDMETHODCALLTYPE add_WebMessageReceived(ICoreWebView2WebMessageReceivedEventHandler* h,
                                                   EventRegistrationToken*) override {
    return Keep(webMessageReceived, h, "add_WebMessageReceived");
  }
  HRESULT STDMETHODCALLTYPE add_NewWindowRequested(ICoreWebView2NewWindowRequestedEventHandler* h,
                                                   EventRegistrationToken*) override {
    return Keep(newWindowRequested, h, "add_NewWindowRequested");
  }
  HRESULT STDMETHODCALLTYPE OpenDevToolsWindow() override {
    return log_.Call("OpenDevToolsWindow");
  }
  HRESULT STDMETHODCALLTYPE add_WebResourceRequested(
      ICoreWebView2WebResourceRequestedEventHandler* h, EventRegistrationToken*) override {
    return Keep(webResourceRequested, h, "add_WebResourceRequested");
  }
  HRESULT STDMETHODCALLTYPE
  AddWebResourceRequestedFilter(LPCWSTR uri, COREWEBVIEW2_WEB_RESOURCE_CONTEXT context) override {
    filters.emplace_back(uri, context);
    return log_.Call("AddWebResourceRequestedFilter");
  }

  ComRef<FakeSettings> settings;
  ComRef<ICoreWebView2NavigationStartingEventHandler> navigationStarting;
  ComRef<ICoreWebView2PermissionRequestedEventHandler> permissionRequested;
  ComRef<ICoreWebView2WebMessageReceivedEventHandler> webMessageReceived;
  ComRef<ICoreWebView2NewWindowRequestedEventHandler> newWindowRequested;
  ComRef<ICoreWebView2WebResourceRequestedEventHandler> webResourceRequested;
  std::vector<std::pair<std::wstring, COREWEBVIEW2_WEB_RESOURCE_CONTEXT>> filters;
  std::vector<std::wstring> documentScripts;
  std::vector<std::wstring> executed;
  std::vector<ComRef<ICoreWebView2ExecuteScriptCompletedHandler>> executeHandlers;
  std::vector<std::wstring> navigated;

 private:
  template <class Handler>
  HRESULT Keep(ComRef<Handler>& slot, Handler* handler, const std::string& name) {
    const HRESULT result = log_.Call(name);
    if (SUCCEEDED(result)) slot = ComRef<Handler>::Share(handler);
    return result;
  }
  RuntimeLog& log_;
};

class FakeController : public Fake<ICoreWebView2Controller> {
 public:
  explicit FakeController(RuntimeLog& log)
      : webview(ComRef<FakeWebView>::Adopt(new FakeWebView(log))), log_(log) {}
  HRESULT STDMETHODCALLTYPE put_Bounds(RECT value) override {
    bounds.push_back(value);
    return log_.Call("put_Bounds");
  }
  HRESULT STDMETHODCALLTYPE Close() override {
    ++closed;
    return log_.Call("Close");
  }
  HRESULT STDMETHODCALLTYPE get_CoreWebView2(ICoreWebView2** out) override {
    const HRESULT result = log_.Call("get_CoreWebView2");
    *out = nullptr;
    if (FAILED(result)) return result;
    webview->AddRef();
    *out = webview.Get();
    return S_OK;
  }
  ComRef<FakeWebView> webview;
  std::vector<RECT> bounds;
  int closed = 0;

 private:
  RuntimeLog& log_;
};

// What the browser hands the runtime as a response, read back in full.
class FakeResponse : public Fake<ICoreWebView2WebResourceResponse> {
 public:
  int status = 0;
  std::wstring reason;
  std::wstring headers;
  std::optional<std::string> body;  // nullopt: no stream
};

class FakeEnvironment : public Fake<ICoreWebView2Environment> {
 public:
  explicit FakeEnvironment(RuntimeLog& log)
      : controller(ComRef<FakeController>::Adopt(new FakeController(log))), log_(log) {}
  HRESULT STDMETHODCALLTYPE CreateCoreWebView2Controller(
      HWND parent, ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* handler) override {
    controllerParent = parent;
    const HRESULT result = log_.Call("CreateCoreWebView2Controller");
    if (SUCCEEDED(result))
      controllerHandler =
          ComRef<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler>::Share(handler);
    return result;
  }
  HRESULT STDMETHODCALLTYPE
  CreateWebResourceResponse(IStream* content, int status, LPCWSTR reason, LPCWSTR headers,
                            ICoreWebView2WebResourceResponse** out) override {
    auto* response = new FakeResponse();
    response->status = status;
    response->reason = reason ? reason : L"";
    response->headers = headers ? headers : L"";
    if (content) {
      std::string bytes;
      char chunk[4096];
      ULONG read = 0;
      while (SUCCEEDED(content->Read(chunk, sizeof(chunk), &read)) && read > 0)
        bytes.append(chunk, read);
      response->body = bytes;
    }
    *out = response;
    return log_.Call("CreateWebResourceResponse");
  }
  ComRef<FakeController> controller;
  ComRef<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler> controllerHandler;
  HWND controllerParent = nullptr;

 private:
  RuntimeLog& log_;
};

// The runtime as a whole; the browser reaches it through FakeCreateEnvironment.
struct FakeRuntime {
  FakeRuntime() : environment(ComRef<FakeEnvironment>::Adopt(new FakeEnvironment(log))) {}

  FakeController& controller() { return *environment->controller.Get(); }
  FakeWebView& webview() { return *controller().webview.Get(); }

  // Completes the environment request as the runtime's message loop would.
  HRESULT CompleteEnvironment(HRESULT result = S_OK, bool withEnvironment = true) {
    return environmentHandler->Invoke(result, withEnvironment ? environment.Get() : nullptr);
  }
  HRESULT CompleteController(HRESULT result = S_OK, bool withController = true) {
    return environment->controllerHandler->Invoke(
        result, withController ? environment->controller.Get() : nullptr);
  }

  RuntimeLog log;
  HRESULT requestResult = S_OK;
  int requests = 0;
  bool browserFolderNull = false;
  bool optionsNull = false;
  std::optional<std::wstring> userDataFolder;
  ComRef<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler> environmentHandler;
  ComRef<FakeEnvironment> environment;
};

// The runtime the current test drives.
inline FakeRuntime* currentRuntime = nullptr;

inline HRESULT STDMETHODCALLTYPE FakeCreateEnvironment(
    PCWSTR browserFolder, PCWSTR userDataFolder, ICoreWebView2EnvironmentOptions* options,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler) {
  FakeRuntime& runtime = *currentRuntime;
  ++runtime.requests;
  runtime.browserFolderNull = browserFolder == nullptr;
  runtime.optionsNull = options == nullptr;
  runtime.userDataFolder =
      userDataFolder ? std::optional<std::wstring>(userDataFolder) : std::nullopt;
  runtime.log.calls.push_back("CreateCoreWebView2EnvironmentWithOptions");
  if (FAILED(runtime.requestResult)) return runtime.requestResult;
  runtime.environmentHandler =
      ComRef<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler>::Share(handler);
  return S_OK;
}

// Event arguments the tests fill in and read back.
class FakeNavigationArgs : public Fake<ICoreWebView2NavigationStartingEventArgs> {
 public:
  HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* out) override {
    if (FAILED(uriResult)) return uriResult;
    return RuntimeCopy(uri, out);
  }
  HRESULT STDMETHODCALLTYPE put_Cancel(BOOL value) override {
    cancel = value != FALSE;
    return S_OK;
  }
  std::optional<std::wstring> uri;
  HRESULT uriResult = S_OK;
  bool cancel = false;
};

class FakeMessageArgs : public Fake<ICoreWebView2WebMessageReceivedEventArgs> {
 public:
  HRESULT STDMETHODCALLTYPE TryGetWebMessageAsString(LPWSTR* out) override {
    *out = nullptr;
    if (!isString) return E_INVALIDARG;  // what the runtime answers for a posted object
    return RuntimeCopy(message, out);
  }
  std::optional<std::wstring> message;
  bool isString = true;
};

class FakePermissionArgs : public Fake<ICoreWebView2PermissionRequestedEventArgs> {
 public:
  HRESULT STDMETHODCALLTYPE get_PermissionKind(COREWEBVIEW2_PERMISSION_KIND* out) override {
    *out = kind;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_State(COREWEBVIEW2_PERMISSION_STATE value) override {
    state = value;
    return S_OK;
  }
  COREWEBVIEW2_PERMISSION_KIND kind = COREWEBVIEW2_PERMISSION_KIND_UNKNOWN_PERMISSION;
  COREWEBVIEW2_PERMISSION_STATE state = COREWEBVIEW2_PERMISSION_STATE_DEFAULT;
};

class FakeRequest : public Fake<ICoreWebView2WebResourceRequest> {
 public:
  HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* out) override { return RuntimeCopy(uri, out); }
  std::optional<std::wstring> uri;
};

class FakeResourceArgs : public Fake<ICoreWebView2WebResourceRequestedEventArgs> {
 public:
  FakeResourceArgs() : request(MakeFake<FakeRequest>()) {}
  HRESULT STDMETHODCALLTYPE get_Request(ICoreWebView2WebResourceRequest** out) override {
    request->AddRef();
    *out = request.Get();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Response(ICoreWebView2WebResourceResponse* value) override {
    response = ComRef<FakeResponse>::Share(static_cast<FakeResponse*>(value));
    return S_OK;
  }
  ComRef<FakeRequest> request;
  ComRef<FakeResponse> response;
};

class FakeNewWindowArgs : public Fake<ICoreWebView2NewWindowRequestedEventArgs> {
 public:
  HRESULT STDMETHODCALLTYPE put_Handled(BOOL value) override {
    handled = value != FALSE;
    return S_OK;
  }
  bool handled = false;
};

}  // namespace tavrena::testing
