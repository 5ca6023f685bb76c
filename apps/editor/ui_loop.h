#pragma once
// The editor host's user-interface thread: the thread that runs this loop executes
// every task in the order it was posted, as a DAW's message loop runs the plug-in's
// editor calls.
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace tavrena::editor {

class UiLoop {
 public:
  // From any thread.
  void post(std::function<void()> task);
  // From any thread: run() returns once the task being run (if any) has finished.
  void quit();

  // Runs tasks until quit(); afterEach runs after every task. A task that throws
  // ends the loop with that exception.
  void run(const std::function<void()>& afterEach);

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> tasks_;
  bool quitting_ = false;
};

}  // namespace tavrena::editor
