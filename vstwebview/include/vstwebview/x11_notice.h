#pragma once
// A plain X11 window in the editor's place that says why there is no editor (its browser
// could not start, or stopped) and, when it can help, offers to reopen it. It needs nothing
// but Xlib, so it works exactly where the browser does not.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "vstwebview/helper_browser.h"

namespace vstwebview {

class NoticeWindow {
 public:
  // A child of parent filling width x height, showing text (ASCII) and, if onReopen is set, a
  // "Reopen editor" button that calls it. Null when the X display cannot be opened.
  static std::unique_ptr<NoticeWindow> Show(std::uint64_t parent, int width, int height,
                                            std::string text, EventLoop* loop,
                                            std::function<void()> onReopen);
  ~NoticeWindow();
  NoticeWindow(const NoticeWindow&) = delete;
  NoticeWindow& operator=(const NoticeWindow&) = delete;

  void Resize(int width, int height);
  const std::string& Text() const { return text_; }
  std::uint64_t WindowId() const { return window_; }

  // The button's rectangle in the window, for tests.
  static constexpr int kButtonX = 24;
  static constexpr int kButtonY = 56;
  static constexpr int kButtonWidth = 168;
  static constexpr int kButtonHeight = 30;

 private:
  NoticeWindow() = default;
  void process();
  void draw();

  void* display_ = nullptr;  // Display*, kept out of this header with Xlib's macros
  std::uint64_t window_ = 0;
  std::uint64_t gc_ = 0;
  std::string text_;
  EventLoop* loop_ = nullptr;
  std::function<void()> onReopen_;
};

}  // namespace vstwebview
