#include "vstwebview/x11_notice.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <utility>

namespace vstwebview {

namespace {

constexpr char kButtonLabel[] = "Reopen editor";

Display* asDisplay(void* display) {
  return static_cast<Display*>(display);
}

}  // namespace

std::unique_ptr<NoticeWindow> NoticeWindow::Show(std::uint64_t parent, int width, int height,
                                                 std::string text, EventLoop* loop,
                                                 std::function<void()> onReopen) {
  // A connection of our own: the host's is not ours to use, and this one's descriptor goes
  // into the host's run loop.
  Display* display = XOpenDisplay(nullptr);
  if (!display || !loop) {
    if (display) XCloseDisplay(display);
    return nullptr;
  }
  std::unique_ptr<NoticeWindow> notice(new NoticeWindow());
  notice->display_ = display;
  notice->text_ = std::move(text);
  notice->loop_ = loop;
  notice->onReopen_ = std::move(onReopen);
  const int screen = DefaultScreen(display);
  // The page's colours: paper and ink.
  notice->window_ = XCreateSimpleWindow(
      display, static_cast<::Window>(parent), 0, 0, static_cast<unsigned>(width > 0 ? width : 1),
      static_cast<unsigned>(height > 0 ? height : 1), 0, BlackPixel(display, screen), 0xeee6d4);
  XSelectInput(display, notice->window_, ExposureMask | ButtonPressMask);
  GC gc = XCreateGC(display, notice->window_, 0, nullptr);
  XSetForeground(display, gc, 0x302a1c);
  notice->gc_ = reinterpret_cast<std::uint64_t>(gc);
  XMapWindow(display, notice->window_);
  XSync(display, False);  // the window exists when this returns
  NoticeWindow* self = notice.get();
  loop->WatchFd(ConnectionNumber(display), [self] { self->process(); });
  // XSync may have read the first exposure already: the descriptor would not show it.
  notice->process();
  return notice;
}

NoticeWindow::~NoticeWindow() {
  Display* display = asDisplay(display_);
  if (!display) return;
  loop_->UnwatchFd(ConnectionNumber(display));
  XFreeGC(display, reinterpret_cast<GC>(gc_));
  XDestroyWindow(display, window_);
  XCloseDisplay(display);
}

void NoticeWindow::Resize(int width, int height) {
  Display* display = asDisplay(display_);
  XResizeWindow(display, window_, static_cast<unsigned>(width > 0 ? width : 1),
                static_cast<unsigned>(height > 0 ? height : 1));
  process();
}

void NoticeWindow::draw() {
  Display* display = asDisplay(display_);
  GC gc = reinterpret_cast<GC>(gc_);
  XClearWindow(display, window_);
  XDrawString(display, window_, gc, kButtonX, 36, text_.c_str(), static_cast<int>(text_.size()));
  if (onReopen_) {
    XDrawRectangle(display, window_, gc, kButtonX, kButtonY, kButtonWidth, kButtonHeight);
    XDrawString(display, window_, gc, kButtonX + 14, kButtonY + 19, kButtonLabel,
                static_cast<int>(sizeof kButtonLabel - 1));
  }
  XFlush(display);
}

void NoticeWindow::process() {
  Display* display = asDisplay(display_);
  while (XPending(display) > 0) {
    XEvent event;
    XNextEvent(display, &event);
    if (event.type == Expose && event.xexpose.count == 0) {
      draw();
    } else if (event.type == ButtonPress && onReopen_) {
      const int x = event.xbutton.x;
      const int y = event.xbutton.y;
      if (x >= kButtonX && x <= kButtonX + kButtonWidth && y >= kButtonY &&
          y <= kButtonY + kButtonHeight) {
        // Last: reopening replaces this window.
        auto reopen = onReopen_;
        reopen();
        return;
      }
    }
  }
}

}  // namespace vstwebview
