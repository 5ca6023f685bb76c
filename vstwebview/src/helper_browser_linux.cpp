#include "vstwebview/helper_browser.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <type_traits>
#include <utility>
#include <vector>

extern char** environ;

namespace vstwebview {

namespace {

// The helper finds its socket here (tavrena-webview's contract).
constexpr int kHelperSocketFd = 3;
constexpr int kFlushIntervalMs = 16;
constexpr int kGraceMs = 1500;

std::string errnoText(const char* what) {
  return std::string(what) + ": " + std::strerror(errno);
}

// A helper that ended before it said anything: say why if its exit status tells.
std::string earlyEndReason(pid_t pid, const std::string& fallback) {
  int status = 0;
  for (int i = 0; i < 20; ++i) {  // up to 100 ms: it has just closed its end
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) {
      if (WIFEXITED(status) && WEXITSTATUS(status) == 127) {
        return "the editor's browser cannot run: a library it needs is missing (install "
               "libwebkit2gtk-4.1-0)";
      }
      if (WIFEXITED(status)) {
        return "the editor's browser ended with code " + std::to_string(WEXITSTATUS(status));
      }
      if (WIFSIGNALED(status)) {
        return "the editor's browser was ended by signal " + std::to_string(WTERMSIG(status));
      }
      return fallback;
    }
    if (done < 0) return fallback;
    ::usleep(5000);
  }
  return fallback;
}

}  // namespace

EventLoop::~EventLoop() = default;

std::unique_ptr<HelperBrowser> HelperBrowser::Start(HelperBrowserOptions options,
                                                    std::string* error) {
  auto failWith = [&](std::string why) -> std::unique_ptr<HelperBrowser> {
    if (error) *error = std::move(why);
    return nullptr;
  };
  if (!options.loop) return failWith("no run loop to serve the editor's browser");

  int fds[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
    return failWith(errnoText("socketpair"));
  }
  int childFd = fds[1];
  if (childFd == kHelperSocketFd) {
    // dup2 onto itself would keep close-on-exec set: move it out of the way first.
    childFd = ::fcntl(fds[1], F_DUPFD_CLOEXEC, kHelperSocketFd + 1);
    ::close(fds[1]);
    if (childFd < 0) {
      ::close(fds[0]);
      return failWith(errnoText("fcntl"));
    }
  }

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, childFd, kHelperSocketFd);
  posix_spawnattr_init(&attributes);
  // The host's blocked and ignored signals are not the helper's business.
  sigset_t none;
  sigset_t all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  std::string path = options.helperPath;
  char* argv[] = {path.data(), nullptr};
  pid_t pid = -1;
  const int spawned = ::posix_spawn(&pid, path.c_str(), &actions, &attributes, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  ::close(childFd);
  if (spawned != 0) {
    ::close(fds[0]);
    return failWith("cannot start " + path + ": " + std::strerror(spawned));
  }

  std::unique_ptr<HelperBrowser> browser(new HelperBrowser(std::move(options), pid, fds[0]));
  browser->send(helper::Attach{browser->options_.hostWindow, browser->options_.width,
                               browser->options_.height, browser->options_.origin});
  HelperBrowser* self = browser.get();
  EventLoop* loop = browser->options_.loop;
  // Hosts report only readability; the timer flushes what the socket could not take at once.
  if (!loop->WatchFd(browser->connection_->Fd(), [self] { self->service(); }) ||
      !loop->StartTimer(kFlushIntervalMs, [self] { self->service(); })) {
    browser->Shutdown();
    return failWith("the host's run loop refused the editor's browser");
  }
  return browser;
}

HelperBrowser::HelperBrowser(HelperBrowserOptions options, pid_t pid, int fd)
    : options_(std::move(options)),
      server_(options_.origin, options_.resources),
      pid_(pid),
      connection_(std::make_unique<helper::Connection>(fd)) {}

HelperBrowser::~HelperBrowser() {
  Shutdown();
}

void HelperBrowser::send(const helper::Message& message) {
  if (stopped_) return;
  if (!connection_->Send(message)) lost();
}

// The connection broke: before the helper was ready, its exit status may say why.
void HelperBrowser::lost() {
  const std::string reason = "the editor's browser is gone: " + connection_->Error();
  stop(ready_ ? reason : earlyEndReason(pid_, reason));
}

void HelperBrowser::service() {
  if (stopped_) return;
  if (!modal_ && !deferred_.empty()) {
    auto calls = std::move(deferred_);
    deferred_.clear();
    for (const auto& text : calls) {
      HandleNativeRequest(text);
      if (stopped_) return;
    }
  }
  if (!connection_->Flush()) {
    lost();
    return;
  }
  std::vector<helper::Message> messages;
  const bool open = connection_->Receive(messages);
  for (const auto& message : messages) {
    handle(message);
    if (stopped_) return;
  }
  if (!open) lost();
}

void HelperBrowser::handle(const helper::Message& message) {
  std::visit(
      [this](const auto& m) {
        using T = std::decay_t<decltype(m)>;
        if constexpr (std::is_same_v<T, helper::Ready>) {
          if (ready_) return;
          ready_ = true;
          if (options_.ready) options_.ready(this);
        } else if constexpr (std::is_same_v<T, helper::ExecuteResult>) {
          const auto found = scripts_.find(m.id);
          if (found == scripts_.end()) return;
          ScriptResultCallback callback = std::move(found->second);
          scripts_.erase(found);
          if (!m.ok || !callback) return;
          Json value = Json::parse(m.json, nullptr, false);
          if (!value.is_discarded()) callback(value);
        } else if constexpr (std::is_same_v<T, helper::WebMessage>) {
          if (modal_)
            deferred_.push_back(m.text);
          else
            HandleNativeRequest(m.text);
        } else if constexpr (std::is_same_v<T, helper::ResourceRequest>) {
          send(helper::ResponseMessage(m.id, server_.Serve(m.uri)));
        } else if constexpr (std::is_same_v<T, helper::NavigationBlocked>) {
          std::fprintf(stderr, "Tavrena editor: navigation refused: %s\n", m.uri.c_str());
        } else if constexpr (std::is_same_v<T, helper::SaveDialogResult>) {
          const auto found = dialogs_.find(m.id);
          if (found == dialogs_.end()) return;
          auto done = std::move(found->second);
          dialogs_.erase(found);
          if (done) done(m.path);
        } else if constexpr (std::is_same_v<T, helper::DragResult>) {
          dragEnded_ = true;
          dropped_ = m.dropped;
        } else if constexpr (std::is_same_v<T, helper::Stopped>) {
          stop(m.reason.empty() ? "the editor's browser stopped" : m.reason);
        }
        // Focus reports need nothing here; the others only travel to the helper.
      },
      message);
}

void HelperBrowser::stop(const std::string& reason) {
  if (stopped_) return;
  detach(false);
  // Last: the owner learns that its editor stopped (it must not destroy this browser here).
  if (options_.stopped) options_.stopped(reason);
}

// Leaves the host's run loop, closes the socket and lets the process go (reaped in the
// background); a dialog still waiting is answered as cancelled.
void HelperBrowser::detach(bool sayGoodbye) {
  stopped_ = true;
  options_.loop->UnwatchFd(connection_->Fd());
  options_.loop->StopTimer();
  // One attempt; a helper that does not read it sees the socket close anyway.
  if (sayGoodbye && connection_->Send(helper::Close{})) connection_->Flush();
  connection_->Close();
  ReapChild(pid_, kGraceMs);
  pid_ = -1;
  scripts_.clear();
  auto dialogs = std::move(dialogs_);
  dialogs_.clear();
  for (auto& [id, done] : dialogs) {
    if (done) done(std::string());
  }
}

void HelperBrowser::SetWindowTitle(const std::string&) {
  // An embedded window has no title bar.
}

void HelperBrowser::ResizeWindow(std::int32_t width, std::int32_t height, ResizeMode mode) {
  if (mode == ResizeMode::Minimum || mode == ResizeMode::Maximum) return;  // the host's frame
  options_.width = width;
  options_.height = height;
  send(helper::Bounds{0, 0, width, height});
}

std::string ContentRootOf(std::string origin) {
  if (!origin.empty() && origin.back() == '/') origin.pop_back();
  return origin;
}

std::string HelperBrowser::ContentRootUrl() {
  return ContentRootOf(options_.origin);
}

void HelperBrowser::LoadUrl(const std::string& url) {
  send(helper::Navigate{url});
}

void HelperBrowser::EvalJS(const std::string& script, ScriptResultCallback callback) {
  if (stopped_) return;
  const std::uint32_t id = nextCall_++;
  if (callback) scripts_[id] = std::move(callback);
  send(helper::Execute{id, script});
}

void HelperBrowser::AddDocumentScript(const std::string& script) {
  send(helper::AddDocumentScript{script});
}

void* HelperBrowser::NativeWindow() {
  return reinterpret_cast<void*>(static_cast<std::uintptr_t>(options_.hostWindow));
}

void HelperBrowser::Shutdown() {
  if (stopped_) return;
  detach(true);
  ClearBindings();
}

void HelperBrowser::RunTask(std::function<void()> task) {
  if (task) task();
}

void HelperBrowser::ShowSaveDialog(const std::string& suggestedName, const std::string& title,
                                   std::function<void(const std::string& path)> done) {
  if (stopped_) {
    if (done) done(std::string());
    return;
  }
  const std::uint32_t id = nextCall_++;
  dialogs_[id] = std::move(done);
  send(helper::SaveDialog{id, suggestedName, title});
}

std::string HelperBrowser::RunSaveDialog(const std::string& suggestedName,
                                         const std::string& title) {
  if (stopped_ || modal_) return {};
  bool answered = false;
  std::string chosen;
  ShowSaveDialog(suggestedName, title, [&](const std::string& path) {
    answered = true;
    chosen = path;
  });
  runModal(answered);
  return chosen;
}

bool HelperBrowser::RunDrag(const std::string& path) {
  if (stopped_ || modal_) return false;
  dragEnded_ = false;
  dropped_ = false;
  send(helper::DragFile{path});
  runModal(dragEnded_);
  return dragEnded_ && dropped_;
}

void HelperBrowser::runModal(const bool& answered) {
  modal_ = true;
  while (!answered && !stopped_) {
    pollfd entry{connection_->Fd(), POLLIN, 0};
    if (connection_->HasPendingWrites()) entry.events |= POLLOUT;
    ::poll(&entry, 1, 50);
    service();
  }
  modal_ = false;
}

}  // namespace vstwebview
