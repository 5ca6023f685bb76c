#include "ui_loop.h"

#include <utility>

namespace tavrena::editor {

void UiLoop::post(std::function<void()> task) {
  {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  wake_.notify_one();
}

void UiLoop::quit() {
  {
    std::lock_guard lock(mutex_);
    quitting_ = true;
  }
  wake_.notify_one();
}

void UiLoop::run(const std::function<void()>& afterEach) {
  for (;;) {
    std::function<void()> task;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return quitting_ || !tasks_.empty(); });
      if (quitting_) return;
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    task();
    if (afterEach) afterEach();
  }
}

}  // namespace tavrena::editor
