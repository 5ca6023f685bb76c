#include "vstwebview/webview_win32.h"

#include <shlwapi.h>

#include <utility>

#include "vstwebview/this_module_win32.h"
#include "win32_text.h"

namespace vstwebview {
namespace {

constexpr wchar_t kWindowClass[] = L"webview";

// The module holding this code. The window class is registered for it rather than for the
// host's executable: a class registered for the executable outlives an unloaded plug-in and
// would send the next editor's messages into code that is gone.
HINSTANCE ThisModule() {
  const HMODULE module = ModuleOfThisCode();
  return module ? module : GetModuleHandleW(nullptr);
}

void RegisterWindowClass(WNDPROC procedure) {
  const HINSTANCE host = GetModuleHandleW(nullptr);
  const auto icon = static_cast<HICON>(LoadImageW(host, MAKEINTRESOURCEW(32512), IMAGE_ICON,
                                                  GetSystemMetrics(SM_CXSMICON),
                                                  GetSystemMetrics(SM_CYSMICON), 0));
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = 0;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = ThisModule();
  windowClass.hIcon = icon;
  windowClass.hIconSm = icon;
  windowClass.lpszClassName = kWindowClass;
  // Every window registers; a class that already exists is the same class.
  RegisterClassExW(&windowClass);
}

}  // namespace

WebviewWin32::WebviewWin32(HWND parent, bool debug, ReadyCallback ready)
    : debug_(debug), ready_(std::move(ready)) {
  RegisterWindowClass(&WebviewWin32::WindowProcedure);
  window_ = CreateWindowExW(0, kWindowClass, L"", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                            640, 480, nullptr, nullptr, ThisModule(), nullptr);
  if (!window_) return;
  SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  if (parent) {
    SetParent(window_, parent);
    SetWindowLongW(window_, GWL_STYLE, WS_CHILD);
    SetWindowPos(window_, nullptr, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE);
  }
  ShowWindow(window_, SW_SHOW);
  UpdateWindow(window_);
  SetFocus(window_);
}

WebviewWin32::~WebviewWin32() {
  DestroyHostWindow();
}

void WebviewWin32::DestroyHostWindow() {
  if (!window_) return;
  const HWND window = std::exchange(window_, nullptr);
  // Messages sent while the window goes must not reach an object being destroyed.
  SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  DestroyWindow(window);
}

ReadyCallback WebviewWin32::TakeReadyCallback() {
  ReadyCallback ready = std::move(ready_);
  ready_ = nullptr;
  return ready;
}

void WebviewWin32::SetWindowTitle(const std::string& title) {
  if (window_) SetWindowTextW(window_, WideFromUtf8(title).c_str());
}

void WebviewWin32::ResizeWindow(std::int32_t width, std::int32_t height, ResizeMode mode) {
  if (!window_) return;
  auto style = static_cast<DWORD>(GetWindowLongW(window_, GWL_STYLE));
  if (mode == ResizeMode::Fixed) {
    style &= ~static_cast<DWORD>(WS_THICKFRAME | WS_MAXIMIZEBOX);
    SetWindowLongW(window_, GWL_STYLE, static_cast<LONG>(style));
  } else {
    if (!(style & WS_CHILD)) style |= WS_THICKFRAME | WS_MAXIMIZEBOX;
    SetWindowLongW(window_, GWL_STYLE, static_cast<LONG>(style));
    if (mode == ResizeMode::Maximum) {
      maxWidth_ = width;
      maxHeight_ = height;
      return;
    }
    if (mode == ResizeMode::Minimum) {
      minWidth_ = width;
      minHeight_ = height;
      return;
    }
  }
  RECT rect{0, 0, width, height};
  if (!(style & WS_CHILD)) AdjustWindowRect(&rect, style, FALSE);
  SetWindowPos(window_, nullptr, 0, 0, rect.right - rect.left, rect.bottom - rect.top,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE | SWP_FRAMECHANGED);
  FitControllerToWindow();
}

std::string WebviewWin32::ContentRootUrl() {
  const HMODULE module = ModuleOfThisCode();
  if (!module) return {};
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
  // A cut-off path names some other file.
  if (length == 0 || length >= MAX_PATH) return {};
  PathRemoveFileSpecW(path);
  std::wstring relative = std::wstring(path) + L"\\..\\Resources\\";
  wchar_t full[MAX_PATH] = {};
  const DWORD fullLength = GetFullPathNameW(relative.c_str(), MAX_PATH, full, nullptr);
  if (fullLength == 0 || fullLength >= MAX_PATH) return {};
  return Utf8FromWide(full);
}

void WebviewWin32::Shutdown() {
  DestroyHostWindow();
}

LRESULT CALLBACK WebviewWin32::WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
  auto* self = reinterpret_cast<WebviewWin32*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) return DefWindowProcW(window, message, wParam, lParam);
  switch (message) {
    case WM_SIZE:
      self->FitControllerToWindow();
      return 0;
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      // Also when the host destroys its frame first: the handle must not be used again.
      self->window_ = nullptr;
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      return 0;
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
      if (self->maxWidth_ > 0 && self->maxHeight_ > 0) {
        info->ptMaxSize = POINT{self->maxWidth_, self->maxHeight_};
        info->ptMaxTrackSize = POINT{self->maxWidth_, self->maxHeight_};
      }
      if (self->minWidth_ > 0 && self->minHeight_ > 0)
        info->ptMinTrackSize = POINT{self->minWidth_, self->minHeight_};
      return 0;
    }
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace vstwebview
