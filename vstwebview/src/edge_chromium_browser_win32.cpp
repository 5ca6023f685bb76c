#include "vstwebview/edge_chromium_browser.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <cstdio>
#include <utility>

#include "vstwebview/virtual_origin.h"
#include "webview2_handler_win32.h"
#include "win32_text.h"

namespace vstwebview {
namespace {

constexpr wchar_t kProfileVariable[] = L"TAVRENA_WEBVIEW_PROFILE";
constexpr wchar_t kProfileUnderLocalAppData[] = L"Veltmark\\Tavrena\\WebView2";
// Gives every document window.external.invoke, which the bridge's page functions post through.
constexpr char kInvokeScript[] = "window.external={invoke:s=>window.chrome.webview.postMessage(s)}";

unsigned long Code(HRESULT result) {
  return static_cast<unsigned long>(result);
}

// A string the runtime allocated for us, freed with the task allocator.
class RuntimeString {
 public:
  RuntimeString() = default;
  ~RuntimeString() { CoTaskMemFree(text_); }
  RuntimeString(const RuntimeString&) = delete;
  RuntimeString& operator=(const RuntimeString&) = delete;
  LPWSTR* Out() { return &text_; }
  bool IsNull() const { return text_ == nullptr; }
  std::wstring_view View() const { return text_ ? std::wstring_view(text_) : std::wstring_view(); }

 private:
  LPWSTR text_ = nullptr;
};

void ReadProfileFolder(wchar_t (&folder)[MAX_PATH]) {
  // The value must fit with its terminator; a longer one is not cut but ignored.
  const DWORD length = GetEnvironmentVariableW(kProfileVariable, folder, MAX_PATH);
  if (length >= 1 && length <= MAX_PATH - 1) return;
  folder[0] = L'\0';
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder)) ||
      !PathAppendW(folder, kProfileUnderLocalAppData)) {
    folder[0] = L'\0';
  }
}

}  // namespace

EdgeChromiumBrowser::EdgeChromiumBrowser(HWND parent, bool debug, ReadyCallback ready,
                                         CreateEnvironmentFunction createEnvironment)
    : WebviewWin32(parent, debug, std::move(ready)),
      alive_(std::make_shared<bool>(true)),
      createEnvironment_(createEnvironment),
      resources_(kVirtualOrigin, EmbeddedResourceLookup()) {
  ReadProfileFolder(userDataFolder_);

  const std::shared_ptr<bool> alive = alive_;
  environmentCompleted_ =
      CallbackHandler<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler, HRESULT,
                      ICoreWebView2Environment*>::Make([this,
                                                        alive](
                                                           HRESULT result,
                                                           ICoreWebView2Environment* environment) {
        return *alive ? OnEnvironmentCreated(result, environment) : S_OK;
      });
  controllerCompleted_ =
      CallbackHandler<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler, HRESULT,
                      ICoreWebView2Controller*>::Make([this,
                                                       alive](HRESULT result,
                                                              ICoreWebView2Controller* controller) {
        return *alive ? OnControllerCreated(result, controller) : S_OK;
      });
  webMessageReceived_ = CallbackHandler<ICoreWebView2WebMessageReceivedEventHandler, ICoreWebView2*,
                                        ICoreWebView2WebMessageReceivedEventArgs*>::
      Make([this, alive](ICoreWebView2*, ICoreWebView2WebMessageReceivedEventArgs* args) {
        return *alive ? OnWebMessageReceived(args) : S_OK;
      });
  permissionRequested_ =
      CallbackHandler<ICoreWebView2PermissionRequestedEventHandler, ICoreWebView2*,
                      ICoreWebView2PermissionRequestedEventArgs*>::
          Make([this, alive](ICoreWebView2*, ICoreWebView2PermissionRequestedEventArgs* args) {
            return *alive ? OnPermissionRequested(args) : S_OK;
          });
}

EdgeChromiumBrowser::~EdgeChromiumBrowser() {
  *alive_ = false;
  DropReadyCallback();
  CloseController();
  DestroyHostWindow();
  controller_.Reset();
  webview_.Reset();
  settings_.Reset();
  environmentCompleted_.Reset();
  controllerCompleted_.Reset();
  webMessageReceived_.Reset();
  permissionRequested_.Reset();
  environment_.Reset();
  ClearBindings();
}

void EdgeChromiumBrowser::CloseController() {
  if (controller_ && !controllerClosed_) {
    controllerClosed_ = true;
    controller_->Close();
  }
}

std::string EdgeChromiumBrowser::ContentRootUrl() {
  std::string root = kVirtualOrigin;
  root.pop_back();
  return root;
}

bool EdgeChromiumBrowser::CreateEnvironment() {
  if (!createEnvironment_) return false;
  const HRESULT result = createEnvironment_(nullptr, userDataFolder_[0] ? userDataFolder_ : nullptr,
                                            nullptr, environmentCompleted_.Get());
  if (FAILED(result)) {
    std::fprintf(stderr, "WebView2 environment request failed: 0x%08lx\n", Code(result));
    return false;
  }
  return true;
}

HRESULT EdgeChromiumBrowser::OnEnvironmentCreated(HRESULT result,
                                                  ICoreWebView2Environment* environment) {
  std::fprintf(stderr, "WebView2 environment callback: 0x%08lx\n", Code(result));
  if (FAILED(result)) {
    std::fprintf(stderr, "WebView2 environment failed: 0x%08lx\n", Code(result));
    return E_FAIL;
  }
  if (!environment) return E_FAIL;
  environment_ = ComRef<ICoreWebView2Environment>::Share(environment);
  const HRESULT request =
      environment_->CreateCoreWebView2Controller(Window(), controllerCompleted_.Get());
  if (FAILED(request)) {
    std::fprintf(stderr, "WebView2 controller request failed: 0x%08lx, hwnd=%p\n", Code(request),
                 static_cast<void*>(Window()));
  }
  return S_OK;
}

HRESULT EdgeChromiumBrowser::OnControllerCreated(HRESULT result,
                                                 ICoreWebView2Controller* controller) {
  std::fprintf(stderr, "WebView2 controller callback: 0x%08lx\n", Code(result));
  if (FAILED(result) || !controller) {
    std::fprintf(stderr, "WebView2 controller failed: 0x%08lx\n", Code(result));
    return E_FAIL;
  }
  controller_ = ComRef<ICoreWebView2Controller>::Share(controller);
  controllerClosed_ = false;
  if (FAILED(controller_->get_CoreWebView2(webview_.Out())) || !webview_) return E_FAIL;

  const std::wstring filter = WideFromUtf8(std::string(kVirtualOrigin) + "*");
  HRESULT step = webview_->AddWebResourceRequestedFilter(filter.c_str(),
                                                         COREWEBVIEW2_WEB_RESOURCE_CONTEXT_ALL);
  if (FAILED(step)) return step;

  EventRegistrationToken token{};
  // Holds nothing: it decides from the target address alone.
  const auto navigationStarting =
      CallbackHandler<ICoreWebView2NavigationStartingEventHandler, ICoreWebView2*,
                      ICoreWebView2NavigationStartingEventArgs*>::
          Make([](ICoreWebView2*, ICoreWebView2NavigationStartingEventArgs* args) -> HRESULT {
            RuntimeString uri;
            if (FAILED(args->get_Uri(uri.Out()))) return S_OK;
            const std::wstring origin = WideFromUtf8(kVirtualOrigin);
            if (!uri.View().starts_with(origin)) args->put_Cancel(TRUE);
            return S_OK;
          });
  webview_->add_NavigationStarting(navigationStarting.Get(), &token);

  // A page's window.open or target="_blank" would open a second browser window that none of
  // these handlers guard; it is refused, and no window opens.
  const auto newWindowRequested =
      CallbackHandler<ICoreWebView2NewWindowRequestedEventHandler, ICoreWebView2*,
                      ICoreWebView2NewWindowRequestedEventArgs*>::
          Make([](ICoreWebView2*, ICoreWebView2NewWindowRequestedEventArgs* args) -> HRESULT {
            return args->put_Handled(TRUE);
          });
  webview_->add_NewWindowRequested(newWindowRequested.Get(), &token);

  const std::shared_ptr<bool> alive = alive_;
  const auto webResourceRequested =
      CallbackHandler<ICoreWebView2WebResourceRequestedEventHandler, ICoreWebView2*,
                      ICoreWebView2WebResourceRequestedEventArgs*>::
          Make([this, alive](ICoreWebView2*, ICoreWebView2WebResourceRequestedEventArgs* args) {
            return *alive ? OnWebResourceRequested(args) : S_OK;
          });
  step = webview_->add_WebResourceRequested(webResourceRequested.Get(), &token);
  if (FAILED(step)) return step;

  if (FAILED(webview_->get_Settings(settings_.Out())) || !settings_) {
    std::fprintf(stderr, "WebView2 settings unavailable\n");
    return E_FAIL;
  }
  if (!Debug()) {
    settings_->put_AreDevToolsEnabled(FALSE);
  } else if (FAILED(webview_->OpenDevToolsWindow())) {
    return E_FAIL;
  }
  if (FAILED(webview_->add_WebMessageReceived(webMessageReceived_.Get(), &token))) {
    std::fprintf(stderr, "WebView2 message handler failed\n");
    return E_FAIL;
  }
  if (FAILED(webview_->add_PermissionRequested(permissionRequested_.Get(), &token))) {
    std::fprintf(stderr, "WebView2 permission handler failed\n");
    return E_FAIL;
  }
  AddDocumentScript(kInvokeScript);

  if (ReadyCallback ready = TakeReadyCallback()) ready(this);
  // The ready callback may have shut the browser down.
  if (!*alive) return S_OK;
  FitControllerToWindow();
  return S_OK;
}

HRESULT EdgeChromiumBrowser::OnWebMessageReceived(ICoreWebView2WebMessageReceivedEventArgs* args) {
  RuntimeString message;
  // A posted object instead of a string fails here and gets no reply.
  if (FAILED(args->TryGetWebMessageAsString(message.Out())) || message.IsNull()) return S_OK;
  HandleNativeRequest(Utf8FromWide(message.View()));
  return S_OK;
}

HRESULT EdgeChromiumBrowser::OnPermissionRequested(
    ICoreWebView2PermissionRequestedEventArgs* args) {
  COREWEBVIEW2_PERMISSION_KIND kind = COREWEBVIEW2_PERMISSION_KIND_UNKNOWN_PERMISSION;
  // Pasting a progression reads the clipboard; everything else keeps the runtime's answer.
  if (SUCCEEDED(args->get_PermissionKind(&kind)) &&
      kind == COREWEBVIEW2_PERMISSION_KIND_CLIPBOARD_READ) {
    args->put_State(COREWEBVIEW2_PERMISSION_STATE_ALLOW);
  }
  return S_OK;
}

HRESULT EdgeChromiumBrowser::OnWebResourceRequested(
    ICoreWebView2WebResourceRequestedEventArgs* args) {
  ComRef<ICoreWebView2WebResourceRequest> request;
  HRESULT result = args->get_Request(request.Out());
  if (FAILED(result)) return result;
  if (!request) return E_POINTER;
  RuntimeString uri;
  result = request->get_Uri(uri.Out());
  if (FAILED(result)) return result;

  const ResourceResponse served = resources_.Serve(Utf8FromWide(uri.View()));
  if (!served.handled) return S_OK;  // another origin: the runtime fetches it itself
  if (!environment_) return E_FAIL;

  ComRef<IStream> body;
  if (!served.body.empty()) {
    body = ComRef<IStream>::Adopt(SHCreateMemStream(
        reinterpret_cast<const BYTE*>(served.body.data()), static_cast<UINT>(served.body.size())));
    if (!body) return E_OUTOFMEMORY;
  }
  ComRef<ICoreWebView2WebResourceResponse> response;
  result = environment_->CreateWebResourceResponse(
      body.Get(), served.status, WideFromUtf8(served.reason).c_str(),
      WideFromUtf8(served.headers).c_str(), response.Out());
  if (FAILED(result)) return result;
  return args->put_Response(response.Get());
}

void EdgeChromiumBrowser::LoadUrl(const std::string& url) {
  if (webview_ && *alive_) webview_->Navigate(WideFromUtf8(url).c_str());
}

void EdgeChromiumBrowser::EvalJS(const std::string& script, ScriptResultCallback callback) {
  if (!webview_ || !*alive_) return;
  // Holds only the callback: the result arrives whenever the runtime has it.
  const auto completed =
      CallbackHandler<ICoreWebView2ExecuteScriptCompletedHandler, HRESULT, LPCWSTR>::Make(
          [callback = std::move(callback)](HRESULT result, LPCWSTR json) -> HRESULT {
            if (FAILED(result) || !json || !callback) return S_OK;
            const Json value = Json::parse(Utf8FromWide(json), nullptr, false);
            if (!value.is_discarded()) callback(value);
            return S_OK;
          });
  webview_->ExecuteScript(WideFromUtf8(script).c_str(), completed.Get());
}

void EdgeChromiumBrowser::AddDocumentScript(const std::string& script) {
  if (webview_ && *alive_)
    webview_->AddScriptToExecuteOnDocumentCreated(WideFromUtf8(script).c_str(), nullptr);
}

void EdgeChromiumBrowser::RunTask(std::function<void()> task) {
  if (task) task();
}

void EdgeChromiumBrowser::FitControllerToWindow() {
  if (!controller_ || !Window()) return;
  RECT bounds{};
  GetClientRect(Window(), &bounds);
  controller_->put_Bounds(bounds);
}

void EdgeChromiumBrowser::Shutdown() {
  *alive_ = false;
  DropReadyCallback();
  CloseController();
  DestroyHostWindow();
}

std::unique_ptr<EdgeChromiumBrowser> CreateEdgeChromiumBrowser(
    HWND parent, bool debug, ReadyCallback ready, CreateEnvironmentFunction createEnvironment) {
  auto browser =
      std::make_unique<EdgeChromiumBrowser>(parent, debug, std::move(ready), createEnvironment);
  if (!browser->CreateEnvironment()) return nullptr;
  return browser;
}

}  // namespace vstwebview
