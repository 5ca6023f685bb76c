#include "vstwebview/host_run_loop.h"

#include <utility>

namespace vstwebview {

using namespace Steinberg;

// The host may keep a reference to a handler after it was unregistered; each handler is
// therefore counted and outlives the loop object if need be, calling nothing once detached.
class HostRunLoop::FdHandler final : public Linux::IEventHandler {
 public:
  explicit FdHandler(std::function<void()> callback) : callback_(std::move(callback)) {
    FUNKNOWN_CTOR
  }
  void Detach() { callback_ = nullptr; }

  void PLUGIN_API onFDIsSet(Linux::FileDescriptor) override {
    // A copy: the callback may unregister this very handler.
    if (auto callback = callback_) callback();
  }

  DECLARE_FUNKNOWN_METHODS

 private:
  std::function<void()> callback_;
};
IMPLEMENT_FUNKNOWN_METHODS(HostRunLoop::FdHandler, Linux::IEventHandler, Linux::IEventHandler::iid)

class HostRunLoop::TimerHandler final : public Linux::ITimerHandler {
 public:
  explicit TimerHandler(std::function<void()> callback) : callback_(std::move(callback)) {
    FUNKNOWN_CTOR
  }
  void Detach() { callback_ = nullptr; }

  void PLUGIN_API onTimer() override {
    if (auto callback = callback_) callback();
  }

  DECLARE_FUNKNOWN_METHODS

 private:
  std::function<void()> callback_;
};
IMPLEMENT_FUNKNOWN_METHODS(HostRunLoop::TimerHandler, Linux::ITimerHandler,
                           Linux::ITimerHandler::iid)

std::unique_ptr<HostRunLoop> HostRunLoop::FromFrame(IPlugFrame* frame) {
  if (!frame) return nullptr;
  FUnknownPtr<Linux::IRunLoop> loop(frame);
  if (!loop) return nullptr;
  return std::make_unique<HostRunLoop>(loop);
}

HostRunLoop::HostRunLoop(Linux::IRunLoop* loop) : loop_(loop) {}

HostRunLoop::~HostRunLoop() {
  for (auto& [fd, handler] : watches_) {
    handler->Detach();
    loop_->unregisterEventHandler(handler);
  }
  StopTimer();
}

bool HostRunLoop::WatchFd(int fd, std::function<void()> onReadable) {
  UnwatchFd(fd);
  auto handler = owned(new FdHandler(std::move(onReadable)));
  if (loop_->registerEventHandler(handler, fd) != kResultOk) return false;
  watches_[fd] = handler;
  return true;
}

void HostRunLoop::UnwatchFd(int fd) {
  const auto found = watches_.find(fd);
  if (found == watches_.end()) return;
  found->second->Detach();
  loop_->unregisterEventHandler(found->second);
  watches_.erase(found);
}

bool HostRunLoop::StartTimer(int intervalMs, std::function<void()> onTick) {
  StopTimer();
  auto handler = owned(new TimerHandler(std::move(onTick)));
  if (loop_->registerTimer(handler, static_cast<Linux::TimerInterval>(intervalMs)) != kResultOk) {
    return false;
  }
  timer_ = handler;
  return true;
}

void HostRunLoop::StopTimer() {
  if (!timer_) return;
  timer_->Detach();
  loop_->unregisterTimer(timer_);
  timer_ = nullptr;
}

}  // namespace vstwebview
