#pragma once
// The editor a Linux host shows: the browser helper embedded in the host's window, or, where it
// cannot run or has stopped, a notice saying why (with an offer to reopen it when that can help).
// Webview calls go to the current browser; the view that owns this sees one stable object.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "vstwebview/helper_browser.h"
#include "vstwebview/x11_notice.h"

namespace vstwebview {

struct EmbeddedEditorOptions {
  std::string helperPath;
  std::uint64_t hostWindow = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::string origin;
  ResourceLookup resources;
  std::unique_ptr<EventLoop> loop;  // the host's run loop
  std::function<void(Webview*)> ready;
};

class EmbeddedEditor final : public Webview {
 public:
  explicit EmbeddedEditor(EmbeddedEditorOptions options);
  ~EmbeddedEditor() override;

  void SetWindowTitle(const std::string& title) override;
  void ResizeWindow(std::int32_t width, std::int32_t height, ResizeMode mode) override;
  std::string ContentRootUrl() override;
  void LoadUrl(const std::string& url) override;
  void EvalJS(const std::string& script, ScriptResultCallback callback) override;
  void AddDocumentScript(const std::string& script) override;
  void* NativeWindow() override;
  void Shutdown() override;
  void RunTask(std::function<void()> task) override;

  // The save dialog, shown by the helper; blocks the caller (as every platform's save dialog
  // does) while the page's own requests go on being served. nullopt when cancelled or when
  // there is no browser.
  std::optional<std::filesystem::path> ChooseSavePath(const std::string& suggestedName);
  // Drags the file out through the helper until the drag ends; true exactly when it was
  // dropped on a target that took it, false also when there is no browser to drag from.
  bool DragFile(const std::filesystem::path& file);

  HelperBrowser* Browser() const { return browser_.get(); }
  NoticeWindow* Notice() const { return notice_.get(); }

 private:
  void start();
  void showNotice(const std::string& text, bool offerReopen);

  EmbeddedEditorOptions options_;
  std::unique_ptr<HelperBrowser> browser_;
  std::unique_ptr<NoticeWindow> notice_;
  bool shutDown_ = false;
};

}  // namespace vstwebview
