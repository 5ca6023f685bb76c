#include "vstwebview/embedded_editor.h"

#include <cstdio>
#include <utility>

namespace vstwebview {

EmbeddedEditor::EmbeddedEditor(EmbeddedEditorOptions options) : options_(std::move(options)) {
  start();
}

EmbeddedEditor::~EmbeddedEditor() {
  Shutdown();
}

void EmbeddedEditor::start() {
  notice_.reset();
  browser_.reset();
  HelperBrowserOptions browser;
  browser.helperPath = options_.helperPath;
  browser.hostWindow = options_.hostWindow;
  browser.width = options_.width;
  browser.height = options_.height;
  browser.origin = options_.origin;
  browser.resources = options_.resources;
  browser.loop = options_.loop.get();
  browser.ready = options_.ready;
  // The browser reports from inside its own event handling: it stays, stopped, until the
  // notice's reopen or the view's removal replaces it.
  browser.stopped = [this](const std::string& reason) {
    std::fprintf(stderr, "Tavrena editor: %s\n", reason.c_str());
    showNotice("The editor stopped unexpectedly. The plug-in and its sound are not affected.",
               true);
  };
  std::string error;
  browser_ = HelperBrowser::Start(std::move(browser), &error);
  if (!browser_) {
    std::fprintf(stderr, "Tavrena editor: %s\n", error.c_str());
    showNotice("The editor cannot start: " + error, false);
  }
}

void EmbeddedEditor::showNotice(const std::string& text, bool offerReopen) {
  if (shutDown_) return;
  std::function<void()> reopen;
  if (offerReopen) reopen = [this] { start(); };
  notice_ = NoticeWindow::Show(options_.hostWindow, options_.width, options_.height, text,
                               options_.loop.get(), std::move(reopen));
}

void EmbeddedEditor::SetWindowTitle(const std::string& title) {
  if (browser_) browser_->SetWindowTitle(title);
}

void EmbeddedEditor::ResizeWindow(std::int32_t width, std::int32_t height, ResizeMode mode) {
  if (mode == ResizeMode::Free || mode == ResizeMode::Fixed) {
    options_.width = width;
    options_.height = height;
  }
  if (browser_) browser_->ResizeWindow(width, height, mode);
  if (notice_) notice_->Resize(options_.width, options_.height);
}

std::string EmbeddedEditor::ContentRootUrl() {
  return ContentRootOf(options_.origin);
}

void EmbeddedEditor::LoadUrl(const std::string& url) {
  if (browser_) browser_->LoadUrl(url);
}

void EmbeddedEditor::EvalJS(const std::string& script, ScriptResultCallback callback) {
  if (browser_) browser_->EvalJS(script, std::move(callback));
}

void EmbeddedEditor::AddDocumentScript(const std::string& script) {
  if (browser_) browser_->AddDocumentScript(script);
}

void* EmbeddedEditor::NativeWindow() {
  return reinterpret_cast<void*>(static_cast<std::uintptr_t>(options_.hostWindow));
}

void EmbeddedEditor::Shutdown() {
  if (shutDown_) return;
  shutDown_ = true;
  if (browser_) browser_->Shutdown();
  browser_.reset();
  notice_.reset();
  ClearBindings();
}

void EmbeddedEditor::RunTask(std::function<void()> task) {
  if (task) task();
}

std::optional<std::filesystem::path> EmbeddedEditor::ChooseSavePath(
    const std::string& suggestedName) {
  if (!browser_ || !browser_->Running()) return std::nullopt;
  const std::string path = browser_->RunSaveDialog(suggestedName, "Export MIDI");
  if (path.empty()) return std::nullopt;
  return std::filesystem::path(path);
}

bool EmbeddedEditor::DragFile(const std::filesystem::path& file) {
  if (!browser_ || !browser_->Running()) return false;
  return browser_->RunDrag(file.string());
}

}  // namespace vstwebview
