#pragma once
// Ctrl-C and termination requests, turned into a call on a thread of its own so that
// the editor can save and shut down in order rather than die in a signal handler.
#include <functional>
#include <memory>

namespace tavrena::editor {

class InterruptWatch {
 public:
  // Create it before any other thread exists: the threads started later inherit
  // the arrangement that routes the requests here.
  explicit InterruptWatch(std::function<void()> onInterrupt);
  ~InterruptWatch();
  InterruptWatch(const InterruptWatch&) = delete;
  InterruptWatch& operator=(const InterruptWatch&) = delete;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tavrena::editor
