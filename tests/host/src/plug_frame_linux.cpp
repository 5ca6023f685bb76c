#include "host/plug_frame_linux.h"

#include <poll.h>

namespace tavrena::host {

using namespace Steinberg;

PlugFrame::~PlugFrame() = default;

tresult PLUGIN_API PlugFrame::resizeView(IPlugView* view, ViewRect* newSize) {
  if (!view || !newSize) return kInvalidArgument;
  ++resizeRequests_;
  return view->onSize(newSize);
}

tresult PLUGIN_API PlugFrame::registerEventHandler(Linux::IEventHandler* handler,
                                                   Linux::FileDescriptor fd) {
  if (!handler) return kInvalidArgument;
  fds_[handler] = {handler, fd};
  return kResultOk;
}

tresult PLUGIN_API PlugFrame::unregisterEventHandler(Linux::IEventHandler* handler) {
  return fds_.erase(handler) ? kResultOk : kInvalidArgument;
}

tresult PLUGIN_API PlugFrame::registerTimer(Linux::ITimerHandler* handler,
                                            Linux::TimerInterval ms) {
  if (!handler || ms == 0) return kInvalidArgument;
  const auto interval = std::chrono::milliseconds(ms);
  timers_[handler] = {handler, interval, std::chrono::steady_clock::now() + interval};
  return kResultOk;
}

tresult PLUGIN_API PlugFrame::unregisterTimer(Linux::ITimerHandler* handler) {
  return timers_.erase(handler) ? kResultOk : kInvalidArgument;
}

tresult PLUGIN_API PlugFrame::queryInterface(const TUID iid, void** obj) {
  if (FUnknownPrivate::iidEqual(iid, IPlugFrame::iid) ||
      FUnknownPrivate::iidEqual(iid, FUnknown::iid)) {
    addRef();
    *obj = static_cast<IPlugFrame*>(this);
    return kResultOk;
  }
  if (FUnknownPrivate::iidEqual(iid, Linux::IRunLoop::iid)) {
    addRef();
    *obj = static_cast<Linux::IRunLoop*>(this);
    return kResultOk;
  }
  *obj = nullptr;
  return kNoInterface;
}

bool PlugFrame::runUntil(const std::function<bool()>& done, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return done();
    std::vector<pollfd> polled;
    std::vector<IPtr<Linux::IEventHandler>> owners;
    for (const auto& [key, entry] : fds_) {
      polled.push_back({entry.second, POLLIN, 0});
      owners.push_back(entry.first);
    }
    ::poll(polled.data(), polled.size(), 4);
    for (std::size_t i = 0; i < polled.size(); ++i) {
      // A handler unregistered by an earlier one in this round is not called.
      if ((polled[i].revents & (POLLIN | POLLHUP | POLLERR)) && fds_.count(owners[i].get())) {
        owners[i]->onFDIsSet(polled[i].fd);
      }
    }
    const auto now = std::chrono::steady_clock::now();
    std::vector<IPtr<Linux::ITimerHandler>> due;
    for (auto& [key, timer] : timers_) {
      if (now >= timer.next) {
        timer.next = now + timer.interval;
        due.push_back(timer.handler);
      }
    }
    for (auto& handler : due) {
      if (timers_.count(handler.get())) handler->onTimer();
    }
  }
  return true;
}

}  // namespace tavrena::host
