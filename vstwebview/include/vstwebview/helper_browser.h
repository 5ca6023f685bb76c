#pragma once
// The editor's browser on Linux: a Webview whose page lives in the helper process
// tavrena-webview, embedded in the host's X11 window. This side runs on the host's
// user-interface thread and never blocks it: the socket is serviced from the host's run loop.
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "vstwebview/helper_connection.h"
#include "vstwebview/resource_server.h"
#include "vstwebview/webview.h"

namespace vstwebview {

// The host's run loop as the browser needs it (on a plug-in view, the host's
// Steinberg::Linux::IRunLoop).
class EventLoop {
 public:
  virtual ~EventLoop();
  // Calls onReadable on the loop's thread whenever fd is readable. False when refused.
  virtual bool WatchFd(int fd, std::function<void()> onReadable) = 0;
  virtual void UnwatchFd(int fd) = 0;
  // Calls onTick about every intervalMs until StopTimer. False when refused.
  virtual bool StartTimer(int intervalMs, std::function<void()> onTick) = 0;
  virtual void StopTimer() = 0;
};

struct HelperBrowserOptions {
  std::string helperPath;        // the tavrena-webview executable
  std::uint64_t hostWindow = 0;  // X11 window to embed into
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::string origin;         // e.g. "tavrena://app/"
  ResourceLookup resources;   // the page's files
  EventLoop* loop = nullptr;  // must outlive the browser
  // Called once when the browser can take scripts and navigation (bind, size, load here).
  std::function<void(Webview*)> ready;
  // Called once if the helper stops or cannot start while the browser exists, with why.
  std::function<void(const std::string& reason)> stopped;
};

class HelperBrowser final : public Webview {
 public:
  // Starts the helper. On failure returns null and sets *error (if given) to a one-line reason.
  static std::unique_ptr<HelperBrowser> Start(HelperBrowserOptions options,
                                              std::string* error = nullptr);
  ~HelperBrowser() override;

  void SetWindowTitle(const std::string& title) override;
  void ResizeWindow(std::int32_t width, std::int32_t height, ResizeMode mode) override;
  std::string ContentRootUrl() override;
  void LoadUrl(const std::string& url) override;
  void EvalJS(const std::string& script, ScriptResultCallback callback) override;
  void AddDocumentScript(const std::string& script) override;
  void* NativeWindow() override;
  void Shutdown() override;
  void RunTask(std::function<void()> task) override;

  // The helper shows the save dialog; done receives the chosen path, empty when cancelled
  // or when the helper is gone.
  void ShowSaveDialog(const std::string& suggestedName, const std::string& title,
                      std::function<void(const std::string& path)> done);
  // The same, waiting for the answer as a modal dialog does: the socket is served meanwhile,
  // but the page's calls wait until the dialog is closed. Empty when cancelled or gone.
  std::string RunSaveDialog(const std::string& suggestedName, const std::string& title);
  // Drags the file at path out of the editor and waits, served as the dialog is, until the
  // drag ends (the page asks for it while the mouse button is held, so the release or
  // Escape ends it). True exactly when the file was dropped on a target that took it.
  bool RunDrag(const std::string& path);

  bool Running() const { return connection_ && connection_->Open(); }
  pid_t Pid() const { return pid_; }

 private:
  HelperBrowser(HelperBrowserOptions options, pid_t pid, int fd);
  void send(const helper::Message& message);
  void service();
  void handle(const helper::Message& message);
  void lost();
  void stop(const std::string& reason);
  void detach(bool sayGoodbye);
  // Serves the socket until answered or the helper is gone; the page's calls wait meanwhile.
  void runModal(const bool& answered);

  HelperBrowserOptions options_;
  ResourceServer server_;
  pid_t pid_;
  std::unique_ptr<helper::Connection> connection_;
  bool ready_ = false;
  bool stopped_ = false;
  std::uint32_t nextCall_ = 1;
  std::map<std::uint32_t, ScriptResultCallback> scripts_;
  std::map<std::uint32_t, std::function<void(const std::string&)>> dialogs_;
  bool modal_ = false;  // a dialog or a drag runs: the page's calls wait
  bool dragEnded_ = false;
  bool dropped_ = false;
  std::vector<std::string> deferred_;  // the page's calls that arrived meanwhile
};

// The page root a browser reports for origin: origin without its trailing "/".
std::string ContentRootOf(std::string origin);

// Waits for the helper process pid to end without blocking the caller: it gets graceMs to
// exit by itself, then SIGKILL. No zombie is left behind.
void ReapChild(pid_t pid, int graceMs);
// Waits for every pending ReapChild (a module about to be unloaded must not leave a thread
// running its code).
void JoinReapers();

}  // namespace vstwebview
