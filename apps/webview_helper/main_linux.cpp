// tavrena-webview: the editor's browser for Linux hosts, started by the Tavrena plug-in with
// a socket on descriptor 3. It lives in its own process because many hosts are built on a
// toolkit that cannot share a process with GTK 3.
#include <fcntl.h>
#include <gtk/gtk.h>

#include <cstdio>
#include <cstring>

#include "browser_window_linux.h"

namespace {

constexpr int kSocketFd = 3;

constexpr char kUsage[] =
    "Usage: tavrena-webview\n"
    "The Tavrena plug-in starts this program to show its editor inside the host's window;\n"
    "it talks to the plug-in over a socket on descriptor 3 and is not meant to be run by "
    "hand.\n";

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    std::fprintf(stderr, "tavrena-webview: unknown argument \"%s\"\n%s", argv[i], kUsage);
    return 2;
  }
  if (fcntl(kSocketFd, F_GETFD) < 0) {
    std::fprintf(stderr, "tavrena-webview: no socket on descriptor %d\n%s", kSocketFd, kUsage);
    return 2;
  }
  // The embedding reparents X11 windows; under Wayland it could not work.
  gdk_set_allowed_backends("x11");
  if (!gtk_init_check(&argc, &argv)) {
    // The plug-in shows why its editor stays empty.
    vstwebview::helper::Connection(kSocketFd).Send(
        vstwebview::helper::Stopped{"cannot open the X11 display"});
    std::fputs("tavrena-webview: cannot open the X11 display\n", stderr);
    return 1;
  }
  tavrena::webview_helper::BrowserWindow browser(kSocketFd);
  return browser.Run();
}
