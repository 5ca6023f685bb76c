#pragma once
// Windows only: the editor's host window, a child of the host's editor frame, on which a
// platform browser (EdgeChromiumBrowser) puts its control. It owns the ready callback and the
// size limits ResizeWindow records.
//
// Threads: everything on the host's user-interface thread, which owns the window.
#include <windows.h>

#include <cstdint>
#include <string>

#include "vstwebview/webview.h"

namespace vstwebview {

class WebviewWin32 : public Webview {
 public:
  // parent may be null: the window then stays a top-level window of its own.
  WebviewWin32(HWND parent, bool debug, ReadyCallback ready);
  ~WebviewWin32() override;
  WebviewWin32(const WebviewWin32&) = delete;
  WebviewWin32& operator=(const WebviewWin32&) = delete;

  void SetWindowTitle(const std::string& title) override;
  // Fixed takes the sizing frame away; Minimum and Maximum only record limits the window keeps
  // to while the user drags it; Free and Fixed resize the window's client area.
  void ResizeWindow(std::int32_t width, std::int32_t height, ResizeMode mode) override;
  // The folder "..\Resources\" beside the module's folder, absolute, in UTF-8; empty when the
  // module's path cannot be found.
  std::string ContentRootUrl() override;
  void* NativeWindow() override { return window_; }
  void Shutdown() override;

  // Asks the platform for its browser; true when the request was accepted.
  virtual bool CreateEnvironment() = 0;
  // Lays the browser's control over the whole client area.
  virtual void FitControllerToWindow() {}

  HWND Window() const { return window_; }

 protected:
  bool Debug() const { return debug_; }
  // The ready callback, handed out once: a callback that shuts the browser down while it runs
  // must not destroy itself.
  ReadyCallback TakeReadyCallback();
  void DropReadyCallback() { ready_ = nullptr; }
  void DestroyHostWindow();

 private:
  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND window_ = nullptr;
  bool debug_ = false;
  ReadyCallback ready_;
  std::int32_t minWidth_ = 0;
  std::int32_t minHeight_ = 0;
  std::int32_t maxWidth_ = 0;
  std::int32_t maxHeight_ = 0;
};

}  // namespace vstwebview
