#pragma once
// A generator for controller tests that holds its worker until the test opens the gate
// (or the cancel flag is raised), so that "running", "finished" and "cancelled" are
// states the test chooses rather than races it hopes to win.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "controller.h"

namespace tavrena::testing {

class GenerationGate {
 public:
  // What the worker returns once let through, or the message it throws instead.
  Json notes = Json::array({{{"start", 0.0}, {"length", 1.0}, {"pitch", 64}, {"velocity", 90}}});
  std::string failure;

  GenerateFunction function() {
    return [this](const Json& configuration, const std::atomic<bool>& cancel) {
      bool cancelled = false;
      {
        std::unique_lock lock(mutex_);
        configurations_.push_back(configuration);
        entered_.notify_all();
        // The flag is polled as the real generator does between its steps.
        while (!open_ && !cancel) released_.wait_for(lock, std::chrono::milliseconds(1));
        cancelled = cancel.load();
        sawCancel_ = cancelled;
      }
      Json result = notes;
      {
        std::lock_guard lock(mutex_);
        ++finished_;
        finishedChanged_.notify_all();
      }
      if (cancelled) throw std::runtime_error("Генерация отменена");
      if (!failure.empty()) throw std::invalid_argument(failure);
      return result;
    };
  }

  void open() {
    std::lock_guard lock(mutex_);
    open_ = true;
    released_.notify_all();
  }

  // Waits until the worker has started n jobs in total.
  bool waitForJobs(std::size_t n) {
    std::unique_lock lock(mutex_);
    return entered_.wait_for(lock, std::chrono::seconds(10),
                             [&] { return configurations_.size() >= n; });
  }

  // Waits until n jobs in total have left the gate (their results are about to be ready).
  bool waitForFinished(std::size_t n) {
    std::unique_lock lock(mutex_);
    return finishedChanged_.wait_for(lock, std::chrono::seconds(10),
                                     [&] { return finished_ >= n; });
  }

  std::vector<Json> configurations() {
    std::lock_guard lock(mutex_);
    return configurations_;
  }
  bool sawCancel() {
    std::lock_guard lock(mutex_);
    return sawCancel_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable entered_;
  std::condition_variable released_;
  std::condition_variable finishedChanged_;
  std::size_t finished_ = 0;
  std::vector<Json> configurations_;
  bool open_ = false;
  bool sawCancel_ = false;
};

// Polls collectGeneration as the editor page does, until the job has been collected.
inline bool collectWhenDone(Controller& controller) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (controller.hasJob()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    controller.collectGeneration();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace tavrena::testing
