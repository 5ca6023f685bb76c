#include <windows.h>

#include <utility>

#include "interrupt.h"

namespace tavrena::editor {
namespace {

// Console control handlers run on a thread the system creates; one watch at a time.
std::function<void()>* activeHandler = nullptr;

BOOL WINAPI onConsoleControl(DWORD type) {
  if (!activeHandler) return FALSE;
  switch (type) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
      (*activeHandler)();
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

struct InterruptWatch::Impl {
  std::function<void()> handler;
};

InterruptWatch::InterruptWatch(std::function<void()> onInterrupt)
    : impl_(std::make_unique<Impl>(Impl{std::move(onInterrupt)})) {
  activeHandler = &impl_->handler;
  SetConsoleCtrlHandler(onConsoleControl, TRUE);
}

InterruptWatch::~InterruptWatch() {
  SetConsoleCtrlHandler(onConsoleControl, FALSE);
  activeHandler = nullptr;
}

}  // namespace tavrena::editor
