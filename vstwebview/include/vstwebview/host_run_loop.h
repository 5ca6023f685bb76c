#pragma once
// The host's Linux run loop (Steinberg::Linux::IRunLoop, offered by the view's IPlugFrame) as
// the EventLoop the editor's browser and notice use. Hosts call back on their user-interface
// thread, where the view lives.
#include <map>
#include <memory>

#include "pluginterfaces/base/smartpointer.h"
#include "pluginterfaces/gui/iplugview.h"
#include "vstwebview/helper_browser.h"

namespace vstwebview {

class HostRunLoop final : public EventLoop {
 public:
  // The frame's run loop, or null when the frame offers none.
  static std::unique_ptr<HostRunLoop> FromFrame(Steinberg::IPlugFrame* frame);
  explicit HostRunLoop(Steinberg::Linux::IRunLoop* loop);
  ~HostRunLoop() override;

  bool WatchFd(int fd, std::function<void()> onReadable) override;
  void UnwatchFd(int fd) override;
  bool StartTimer(int intervalMs, std::function<void()> onTick) override;
  void StopTimer() override;

 private:
  class FdHandler;
  class TimerHandler;

  Steinberg::IPtr<Steinberg::Linux::IRunLoop> loop_;
  std::map<int, Steinberg::IPtr<FdHandler>> watches_;
  Steinberg::IPtr<TimerHandler> timer_;
};

}  // namespace vstwebview
