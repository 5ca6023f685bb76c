#include <pthread.h>
#include <signal.h>

#include <thread>
#include <utility>

#include "interrupt.h"

namespace tavrena::editor {

struct InterruptWatch::Impl {
  sigset_t previous;
  std::thread thread;
};

InterruptWatch::InterruptWatch(std::function<void()> onInterrupt)
    : impl_(std::make_unique<Impl>()) {
  // Blocked everywhere and taken by sigwait: no code runs inside a signal handler.
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGHUP);
  sigaddset(&set, SIGUSR2);  // our own: ends the watch
  pthread_sigmask(SIG_BLOCK, &set, &impl_->previous);
  impl_->thread = std::thread([set, onInterrupt = std::move(onInterrupt)] {
    for (;;) {
      int signal = 0;
      if (sigwait(&set, &signal) != 0 || signal == SIGUSR2) return;
      onInterrupt();
    }
  });
}

InterruptWatch::~InterruptWatch() {
  pthread_kill(impl_->thread.native_handle(), SIGUSR2);
  impl_->thread.join();
  pthread_sigmask(SIG_SETMASK, &impl_->previous, nullptr);
}

}  // namespace tavrena::editor
