#pragma once
// The host's editor frame on Linux: IPlugFrame (resize requests) and the run loop that X11
// hosts offer through it (Steinberg::Linux::IRunLoop), served by poll() on the test's thread.
#include <chrono>
#include <functional>
#include <map>
#include <vector>

#include "pluginterfaces/base/smartpointer.h"
#include "pluginterfaces/gui/iplugview.h"

namespace tavrena::host {

class PlugFrame final : public Steinberg::IPlugFrame, public Steinberg::Linux::IRunLoop {
 public:
  PlugFrame() = default;
  ~PlugFrame();

  // IPlugFrame
  Steinberg::tresult PLUGIN_API resizeView(Steinberg::IPlugView* view,
                                           Steinberg::ViewRect* newSize) override;
  // IRunLoop
  Steinberg::tresult PLUGIN_API registerEventHandler(Steinberg::Linux::IEventHandler* handler,
                                                     Steinberg::Linux::FileDescriptor fd) override;
  Steinberg::tresult PLUGIN_API
  unregisterEventHandler(Steinberg::Linux::IEventHandler* handler) override;
  Steinberg::tresult PLUGIN_API registerTimer(Steinberg::Linux::ITimerHandler* handler,
                                              Steinberg::Linux::TimerInterval ms) override;
  Steinberg::tresult PLUGIN_API unregisterTimer(Steinberg::Linux::ITimerHandler* handler) override;

  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
  // Owned by the test (on its stack); counting is only checked, never deletes.
  Steinberg::uint32 PLUGIN_API addRef() override { return ++references_; }
  Steinberg::uint32 PLUGIN_API release() override { return --references_; }

  // Serves the registered handlers until done() or timeoutMs; returns done().
  bool runUntil(const std::function<bool()>& done, int timeoutMs);
  std::size_t handlers() const { return fds_.size() + timers_.size(); }
  int resizeRequests() const { return resizeRequests_; }

 private:
  struct Timer {
    Steinberg::IPtr<Steinberg::Linux::ITimerHandler> handler;
    std::chrono::milliseconds interval;
    std::chrono::steady_clock::time_point next;
  };
  std::map<Steinberg::Linux::IEventHandler*,
           std::pair<Steinberg::IPtr<Steinberg::Linux::IEventHandler>, int>>
      fds_;
  std::map<Steinberg::Linux::ITimerHandler*, Timer> timers_;
  Steinberg::uint32 references_ = 1;
  int resizeRequests_ = 0;
};

}  // namespace tavrena::host
