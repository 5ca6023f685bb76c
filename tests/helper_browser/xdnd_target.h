#pragma once
// A drop target as a file manager or a DAW is one: a top-level window of its own display
// connection that speaks XDND, accepts a copy and fetches the dragged text/uri-list. A user
// is played through XTEST: moving from where the button went down onto the target, letting
// go there (or pressing Escape on the way).
#include <unistd.h>

#include <chrono>
#include <initializer_list>
#include <string>

#include <X11/Xatom.h>             // NOLINT(build/include_order)
#include <X11/Xlib.h>              // NOLINT(build/include_order)
#include <X11/extensions/XTest.h>  // NOLINT(build/include_order)
#include <X11/keysym.h>            // NOLINT(build/include_order)

namespace tavrena::testing {

// A client message of format 32 to window, as window managers and XDND peers exchange them.
inline void sendClientMessage(Display* display, Window window, Atom type,
                              std::initializer_list<long> data) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = type;
  event.xclient.format = 32;
  long* slot = event.xclient.data.l;
  for (const long value : data) *slot++ = value;
  XSendEvent(display, window, False, NoEventMask, &event);
  XFlush(display);
}

struct DropRecord {
  bool entered = false;  // the drag reached the target
  bool dropped = false;  // the target received the drop and fetched the data
  std::string uris;      // what it fetched
};

// Lays the target at (x, y) 200 x 150, waits for the drag to start, moves the pointer onto
// it and releases the button, or presses Escape over it when cancel is set.
inline DropRecord dropOnTarget(int x, int y, bool cancel) {
  DropRecord record;
  Display* display = XOpenDisplay(nullptr);
  if (!display) return record;
  auto atom = [display](const char* name) { return XInternAtom(display, name, False); };
  const Atom aware = atom("XdndAware"), enter = atom("XdndEnter"), position = atom("XdndPosition"),
             status = atom("XdndStatus"), drop = atom("XdndDrop"), finished = atom("XdndFinished"),
             selection = atom("XdndSelection"), copy = atom("XdndActionCopy"),
             uriList = atom("text/uri-list"), property = atom("TAVRENA_DROPPED");
  const Window target =
      XCreateSimpleWindow(display, DefaultRootWindow(display), x, y, 200, 150, 0, 0, 0);
  const long version = 5;
  XChangeProperty(display, target, aware, XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&version), 1);
  XMapRaised(display, target);
  XSync(display, False);
  ::usleep(600000);  // the drag has begun by now

  Window source = 0;
  // XdndStatus carries the action in its fifth field, XdndFinished in its third.
  const auto self = static_cast<long>(target), action = static_cast<long>(copy);
  const auto start = std::chrono::steady_clock::now();
  int step = 0;
  bool released = false;
  int afterRelease = 0;  // rounds of 50 ms; a drop comes within a few
  while (!record.dropped && afterRelease < 30 &&
         std::chrono::steady_clock::now() - start < std::chrono::seconds(8)) {
    if (released) ++afterRelease;
    if (step < 10) {
      XTestFakeMotionEvent(display, -1, x + 40 + 5 * step, y + 60, CurrentTime);
      ++step;
    } else if (!released) {
      if (cancel) {
        const KeyCode escape = XKeysymToKeycode(display, XK_Escape);
        XTestFakeKeyEvent(display, escape, True, CurrentTime);
        XTestFakeKeyEvent(display, escape, False, CurrentTime);
      }
      XTestFakeButtonEvent(display, 1, False, CurrentTime);
      released = true;
    }
    XFlush(display);
    ::usleep(50000);
    while (XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.type == ClientMessage) {
        const Atom type = event.xclient.message_type;
        if (type == enter) record.entered = true;
        if (type == position || type == drop) source = static_cast<Window>(event.xclient.data.l[0]);
        if (type == position) sendClientMessage(display, source, status, {self, 1, 0, 0, action});
        if (type == drop)
          XConvertSelection(display, selection, uriList, property, target,
                            static_cast<Time>(event.xclient.data.l[2]));
      } else if (event.type == SelectionNotify && event.xselection.property == property) {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display, target, property, 0, 65536, True, AnyPropertyType, &type,
                               &format, &count, &after, &data) == Success &&
            data) {
          record.uris.assign(reinterpret_cast<const char*>(data), count);
          XFree(data);
        }
        record.dropped = true;
        sendClientMessage(display, source, finished, {self, 1, action});
      }
    }
  }
  if (!released) XTestFakeButtonEvent(display, 1, False, CurrentTime);
  XDestroyWindow(display, target);
  XCloseDisplay(display);
  return record;
}

}  // namespace tavrena::testing
