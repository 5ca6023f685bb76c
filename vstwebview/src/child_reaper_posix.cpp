// Ending helper processes without blocking the host: each is waited for on a thread of its
// own, which the module joins before it is unloaded.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "vstwebview/helper_browser.h"

namespace vstwebview {

namespace {

struct Reaper {
  std::thread thread;
  std::shared_ptr<std::atomic<bool>> done;
};

std::mutex reapersMutex;
std::vector<Reaper> reapers;

// True once pid is gone: reaped here, or by a host that reaps every child itself.
bool reaped(pid_t pid, int options) {
  for (;;) {
    const pid_t result = ::waitpid(pid, nullptr, options);
    if (result == pid) return true;
    if (result < 0 && errno == EINTR) continue;
    return result < 0;  // ECHILD: someone else reaped it
  }
}

void reap(pid_t pid, int graceMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(graceMs);
  while (std::chrono::steady_clock::now() < deadline) {
    if (reaped(pid, WNOHANG)) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ::kill(pid, SIGKILL);
  reaped(pid, 0);
}

}  // namespace

void ReapChild(pid_t pid, int graceMs) {
  if (pid <= 0) return;
  std::lock_guard<std::mutex> lock(reapersMutex);
  // Threads that finished are joined here, so a long session does not collect them.
  for (auto it = reapers.begin(); it != reapers.end();) {
    if (it->done->load()) {
      it->thread.join();
      it = reapers.erase(it);
    } else {
      ++it;
    }
  }
  auto done = std::make_shared<std::atomic<bool>>(false);
  reapers.push_back({std::thread([pid, graceMs, done] {
                       reap(pid, graceMs);
                       done->store(true);
                     }),
                     done});
}

void JoinReapers() {
  std::vector<Reaper> pending;
  {
    std::lock_guard<std::mutex> lock(reapersMutex);
    pending.swap(reapers);
  }
  for (auto& reaper : pending) reaper.thread.join();
}

}  // namespace vstwebview
