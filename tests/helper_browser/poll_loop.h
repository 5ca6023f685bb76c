#pragma once
// A run loop for tests: poll() over the watched descriptors plus one timer, like a host's.
#include <poll.h>

#include <chrono>
#include <functional>
#include <map>
#include <vector>

#include "vstwebview/helper_browser.h"

namespace tavrena::testing {

class PollLoop final : public vstwebview::EventLoop {
 public:
  bool WatchFd(int fd, std::function<void()> onReadable) override {
    watches_[fd] = std::move(onReadable);
    return true;
  }
  void UnwatchFd(int fd) override { watches_.erase(fd); }
  bool StartTimer(int intervalMs, std::function<void()> onTick) override {
    interval_ = std::chrono::milliseconds(intervalMs);
    tick_ = std::move(onTick);
    next_ = std::chrono::steady_clock::now() + interval_;
    return true;
  }
  void StopTimer() override { tick_ = nullptr; }

  bool Watching() const { return !watches_.empty() || tick_ != nullptr; }

  // Runs the loop until done() is true or timeoutMs passed; returns done().
  bool RunUntil(const std::function<bool()>& done, int timeoutMs = 10000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
      const auto now = std::chrono::steady_clock::now();
      if (now >= deadline) return done();
      std::vector<pollfd> fds;
      for (const auto& [fd, handler] : watches_) fds.push_back({fd, POLLIN, 0});
      ::poll(fds.data(), fds.size(), 5);
      // Handlers may change the watches: look each one up again.
      for (const auto& entry : fds) {
        if (!(entry.revents & (POLLIN | POLLHUP | POLLERR))) continue;
        const auto found = watches_.find(entry.fd);
        if (found != watches_.end()) {
          auto handler = found->second;
          handler();
        }
      }
      if (tick_ && std::chrono::steady_clock::now() >= next_) {
        next_ = std::chrono::steady_clock::now() + interval_;
        auto tick = tick_;
        tick();
      }
    }
    return true;
  }

 private:
  std::map<int, std::function<void()>> watches_;
  std::function<void()> tick_;
  std::chrono::milliseconds interval_{16};
  std::chrono::steady_clock::time_point next_;
};

}  // namespace tavrena::testing
