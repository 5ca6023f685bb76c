// The plug-in's editor as a Linux DAW shows it: the built bundle loaded by the test host,
// its view attached to an X11 window the host made, served on the host's run loop, under a
// virtual X server. Prints the start time, the bridge's round trip and the helper's memory.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "host/host.h"
#include "host/plug_frame_linux.h"
#include "ids.h"
#include "png_writer.h"

// Last: Xlib's macros (None, Bool, Status) would break the headers above.
#include <X11/Xlib.h>   // NOLINT(build/include_order)
#include <X11/Xutil.h>  // NOLINT(build/include_order)

namespace tavrena {
namespace {

namespace fs = std::filesystem;
using namespace Steinberg;
using Clock = std::chrono::steady_clock;

// The processes this test started, and theirs, by walking /proc (the helper and the
// WebKit processes it starts).
std::set<pid_t> descendants() {
  std::map<pid_t, pid_t> parents;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const std::string name = entry.path().filename();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream stat(entry.path() / "stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    const auto close = line.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream rest(line.substr(close + 2));
    char state = 0;
    pid_t parent = 0;
    rest >> state >> parent;
    if (state != 'Z') parents[std::stoi(name)] = parent;
  }
  std::set<pid_t> found;
  bool grew = true;
  while (grew) {
    grew = false;
    for (const auto& [pid, parent] : parents) {
      if ((parent == ::getpid() || found.count(parent)) && found.insert(pid).second) grew = true;
    }
  }
  return found;
}

std::string commandOf(pid_t pid) {
  std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
  std::string name;
  std::getline(comm, name);
  return name;
}

long residentKiB(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return 0;
}

pid_t helperPid() {
  for (pid_t pid : descendants()) {
    if (commandOf(pid) == "tavrena-webview") return pid;
  }
  return 0;
}

class EmbeddedViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    display_ = XOpenDisplay(nullptr);
    if (!display_) GTEST_SKIP() << "no X11 display (run under xvfb-run)";
    host_ =
        XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 1200, 800, 0, 0, 0x24231b);
    XMapWindow(display_, host_);
    XSync(display_, False);
    std::string error;
    module_ = host::Module::load(host::defaultBundlePath(), &error);
    ASSERT_TRUE(module_) << error;
    plugin_ = host::Plugin::create(*module_, kProcessorUID, hostApp_, &handler_, &error);
    ASSERT_TRUE(plugin_) << error;
  }

  void TearDown() override {
    if (view_) {
      view_->removed();
      view_->setFrame(nullptr);
      view_ = nullptr;
    }
    plugin_.reset();
    module_.reset();  // ModuleExit waits for the helpers to be reaped
    if (display_) {
      XDestroyWindow(display_, host_);
      XCloseDisplay(display_);
    }
    unsetenv("TAVRENA_EDITOR_RESOURCES");
  }

  void attach() {
    view_ = owned(plugin_->controller()->createView("editor"));
    ASSERT_TRUE(view_);
    ASSERT_EQ(view_->isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID), kResultTrue);
    view_->setFrame(&frame_);
    ASSERT_EQ(view_->attached(reinterpret_cast<void*>(host_), kPlatformTypeX11EmbedWindowID),
              kResultOk);
  }

  std::string processorState() { return host::saveState(plugin_->component()); }

  std::vector<Window> children() {
    Window root = 0;
    Window parent = 0;
    Window* list = nullptr;
    unsigned count = 0;
    XQueryTree(display_, host_, &root, &parent, &list, &count);
    std::vector<Window> result(list, list + count);
    if (list) XFree(list);
    return result;
  }

  // The size of the host window's topmost child, or 0 x 0 when it has none.
  std::pair<int, int> childSize() {
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    XQueryTree(display_, host_, &root, &parent, &children, &count);
    std::pair<int, int> size{0, 0};
    if (count > 0) {
      XWindowAttributes attributes;
      if (XGetWindowAttributes(display_, children[count - 1], &attributes)) {
        size = {attributes.width, attributes.height};
      }
    }
    if (children) XFree(children);
    return size;
  }

  // Whether the host window shows anything but its own background colour.
  bool painted() {
    XImage* image = XGetImage(display_, host_, 0, 0, 1200, 800, AllPlanes, ZPixmap);
    if (!image) return false;
    int other = 0;
    for (int y = 0; y < 800; y += 40) {
      for (int x = 0; x < 1200; x += 40) {
        if ((XGetPixel(image, x, y) & 0xffffff) != 0x24231b) ++other;
      }
    }
    XDestroyImage(image);
    return other > 100;
  }

  bool screenshot(const std::string& path) {
    XImage* image = XGetImage(display_, host_, 0, 0, 1200, 800, AllPlanes, ZPixmap);
    if (!image) return false;
    std::vector<std::uint8_t> rgb;
    rgb.reserve(1200 * 800 * 3);
    for (int y = 0; y < 800; ++y) {
      for (int x = 0; x < 1200; ++x) {
        const unsigned long pixel = XGetPixel(image, x, y);
        rgb.push_back(static_cast<std::uint8_t>(pixel >> 16));
        rgb.push_back(static_cast<std::uint8_t>(pixel >> 8));
        rgb.push_back(static_cast<std::uint8_t>(pixel));
      }
    }
    XDestroyImage(image);
    return testing::writePng(path, 1200, 800, rgb);
  }

  Display* display_ = nullptr;
  Window host_ = 0;
  host::HostApplication hostApp_;
  host::ComponentHandler handler_;
  std::unique_ptr<host::Module> module_;
  std::unique_ptr<host::Plugin> plugin_;
  host::PlugFrame frame_;
  IPtr<IPlugView> view_;
};

TEST_F(EmbeddedViewTest, TheEditorStartsTalksToThePlugInResizesAndLeavesNothingBehind) {
  setenv("TAVRENA_EDITOR_RESOURCES", TAVRENA_PROBE_PAGE, 1);
  const auto attached = Clock::now();
  attach();
  ASSERT_TRUE(frame_.runUntil(
      [&] { return processorState().find("probe-ready.mid") != std::string::npos; }, 20000))
      << "the page's first read and write never reached the processor";
  const auto started = std::chrono::duration<double, std::milli>(Clock::now() - attached);

  // The helper, and the processes WebKit started for it.
  const pid_t helper = helperPid();
  ASSERT_NE(helper, 0);
  long memory = 0;
  std::ostringstream processes;
  for (pid_t pid : descendants()) {
    memory += residentKiB(pid);
    processes << ' ' << commandOf(pid) << '=' << residentKiB(pid) / 1024 << "MiB";
  }

  // 300 reads through the bridge, timed by the page; the figures come back in the state.
  std::string state;
  ASSERT_TRUE(frame_.runUntil(
      [&] {
        state = processorState();
        return state.find("probe-ready") == std::string::npos &&
               state.find("\"probe-") != std::string::npos;
      },
      20000));
  const auto at = state.find("\"probe-") + 7;
  const std::string figures = state.substr(at, state.find(".mid\"", at) - at);
  std::printf(
      "editor start (attached -> first read and write seen by the processor): %.0f ms\n"
      "bridge round trip through the helper, mean-median-p99 ms: %s\n"
      "helper memory (resident):%s, in all %ld MiB\n",
      started.count(), figures.c_str(), processes.str().c_str(), memory / 1024);

  // The host resizes the view: the helper's window follows.
  EXPECT_TRUE(frame_.runUntil([&] { return childSize() == std::make_pair(1200, 800); }, 5000));
  ViewRect size(0, 0, 900, 600);
  EXPECT_EQ(view_->checkSizeConstraint(&size), kResultTrue);
  EXPECT_EQ(frame_.resizeView(view_, &size), kResultTrue);
  EXPECT_TRUE(frame_.runUntil([&] { return childSize() == std::make_pair(900, 600); }, 5000))
      << childSize().first << " x " << childSize().second;

  // Removing the view ends every process it started, and frees the host's run loop.
  const std::set<pid_t> before = descendants();
  EXPECT_EQ(view_->removed(), kResultOk);
  EXPECT_EQ(frame_.handlers(), 0u);
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  std::set<pid_t> left = descendants();
  while (!left.empty() && Clock::now() < deadline) {
    ::usleep(20000);
    left = descendants();
  }
  EXPECT_TRUE(left.empty()) << left.size() << " of " << before.size() << " processes left";
  view_->setFrame(nullptr);
  view_ = nullptr;
}

TEST_F(EmbeddedViewTest, ShowsTheProductPageAndSurvivesItsBrowserDying) {
  attach();
  ASSERT_TRUE(frame_.runUntil([&] { return helperPid() != 0 && painted(); }, 20000));
  // The page draws itself after its first poll: give it a moment, then keep a picture.
  frame_.runUntil([] { return false; }, 1500);
  const char* artifacts = std::getenv("TAVRENA_ARTIFACTS");
  const fs::path folder = artifacts ? artifacts : TAVRENA_DEFAULT_ARTIFACTS;
  fs::create_directories(folder);
  EXPECT_TRUE(screenshot((folder / "embedded-editor.png").string()));

  // The browser dies; the host, the plug-in and its audio carry on, and the view offers to
  // reopen the editor in a window of its own.
  const std::vector<Window> browserWindows = children();
  ::kill(helperPid(), SIGKILL);
  ASSERT_TRUE(frame_.runUntil(
      [&] {
        const auto now = children();
        return now.size() == 1 && now != browserWindows;
      },
      5000));
  const Window notice = children()[0];
  EXPECT_EQ(childSize(), std::make_pair(1200, 800));
  EXPECT_EQ(plugin_->activate(48000, 512), kResultOk);
  host::AudioBlock block(2, 512, Vst::kSample32);
  EXPECT_EQ(plugin_->processor()->process(block.prepare(512, nullptr)), kResultOk);
  EXPECT_EQ(plugin_->deactivate(), kResultOk);
  frame_.runUntil([] { return false; }, 300);  // the notice draws on its first exposure
  EXPECT_TRUE(screenshot((folder / "embedded-editor-stopped.png").string()));

  // "Reopen editor" starts a new browser in the same place.
  XEvent click{};
  click.xbutton.type = ButtonPress;
  click.xbutton.window = notice;
  click.xbutton.x = 40;
  click.xbutton.y = 66;
  click.xbutton.button = Button1;
  XSendEvent(display_, notice, False, ButtonPressMask, &click);
  XFlush(display_);
  EXPECT_TRUE(frame_.runUntil([&] { return helperPid() != 0; }, 10000));
}

}  // namespace
}  // namespace tavrena
