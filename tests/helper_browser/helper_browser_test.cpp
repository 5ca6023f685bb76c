// The Linux editor browser end to end: the real tavrena-webview helper embedded in an X11
// window under Xvfb, serving a page from a folder, calling a bound function, resizing with
// its host window, and ending cleanly whichever side goes first.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

#include "poll_loop.h"
#include "vstwebview/helper_browser.h"
#include "vstwebview/x11_notice.h"
#include "xdnd_target.h"

// Last: Xlib's macros (None, Bool, Status) would break the headers above.
#include <X11/Xlib.h>              // NOLINT(build/include_order)
#include <X11/extensions/XTest.h>  // NOLINT(build/include_order)
#include <X11/keysym.h>            // NOLINT(build/include_order)

namespace {

namespace fs = std::filesystem;
using tavrena::testing::PollLoop;
using vstwebview::HelperBrowser;
using vstwebview::Json;

constexpr char kOrigin[] = "tavrena://app/";

constexpr char kIndex[] = R"(<!DOCTYPE html>
<html><head><meta charset="utf-8">
<meta http-equiv="Content-Security-Policy" content="default-src 'self'; script-src 'self'; style-src 'self' 'unsafe-inline'; img-src 'self' data:; connect-src 'self'; object-src 'none'; base-uri 'none'">
<script src="page.js"></script></head><body style="background:#153f32">page</body></html>
)";

constexpr char kScript[] = R"(window.results = {};
fetch('missing.js').then((r) => { results.missing = r.status; });
fetch('index.html').then((r) => {
  results.type = r.headers.get('Content-Type');
  results.cache = r.headers.get('Cache-Control');
});
window.addEventListener('load', async () => {
  try {
    results.echo = await window.tavrenaEcho({ a: 1, b: 'ü' });
  } catch (error) {
    results.echo = 'failed: ' + error;
  }
  results.done = true;
});
)";

bool processGone(pid_t pid) {
  return ::kill(pid, 0) != 0 && errno == ESRCH;
}

class HelperBrowserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    display_ = XOpenDisplay(nullptr);
    if (!display_) GTEST_SKIP() << "no X11 display (run under xvfb-run)";
    host_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 1000, 667, 0, 0, 0);
    XMapWindow(display_, host_);
    XSync(display_, False);
    folder_ = fs::temp_directory_path() / ("tavrena-helper-" + std::to_string(::getpid()));
    fs::create_directories(folder_);
    std::ofstream(folder_ / "index.html") << kIndex;
    std::ofstream(folder_ / "page.js") << kScript;
  }

  void TearDown() override {
    browser_.reset();
    vstwebview::JoinReapers();
    if (display_) {
      if (host_) XDestroyWindow(display_, host_);
      XCloseDisplay(display_);
    }
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  vstwebview::HelperBrowserOptions options(const std::string& helper = TAVRENA_WEBVIEW_HELPER) {
    vstwebview::HelperBrowserOptions o;
    o.helperPath = helper;
    o.hostWindow = host_;
    o.width = 1000;
    o.height = 667;
    o.origin = kOrigin;
    o.resources = vstwebview::FolderResourceLookup(folder_);
    o.loop = &loop_;
    o.ready = [this](vstwebview::Webview* webview) {
      webview->ExposeFunction("tavrenaEcho",
                              [](vstwebview::Webview*, std::int32_t, const std::string&,
                                 const Json& params) { return params; });
      webview->LoadUrl(std::string(kOrigin) + "index.html");
      ready_ = true;
    };
    o.stopped = [this](const std::string& reason) { stopped_ = reason; };
    return o;
  }

  // The page's value of expression, once it evaluates.
  std::optional<Json> evaluate(const std::string& expression) {
    std::optional<Json> result;
    browser_->EvalJS(expression, [&](const Json& value) { result = value; });
    loop_.RunUntil([&] { return result.has_value() || stopped_.has_value(); }, 5000);
    return result;
  }

  int childWidth() {
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    XQueryTree(display_, host_, &root, &parent, &children, &count);
    int width = -1;
    if (count > 0) {
      XWindowAttributes attributes;
      XGetWindowAttributes(display_, children[0], &attributes);
      width = attributes.width;
    }
    if (children) XFree(children);
    return width;
  }

  Display* display_ = nullptr;
  Window host_ = 0;
  fs::path folder_;
  PollLoop loop_;
  std::unique_ptr<HelperBrowser> browser_;
  bool ready_ = false;
  std::optional<std::string> stopped_;
};

TEST_F(HelperBrowserTest, EmbedsServesThePageAndAnswersItsCalls) {
  std::string error;
  browser_ = HelperBrowser::Start(options(), &error);
  ASSERT_TRUE(browser_) << error;
  ASSERT_TRUE(loop_.RunUntil([&] { return ready_ || stopped_.has_value(); }, 15000))
      << "the helper never became ready";
  ASSERT_FALSE(stopped_) << *stopped_;

  Json results;
  ASSERT_TRUE(loop_.RunUntil(
      [&] {
        auto value = evaluate("JSON.stringify(window.results || {})");
        if (!value || !value->is_string()) return false;
        results = Json::parse(value->get<std::string>());
        return results.value("done", false) && results.contains("missing") &&
               results.contains("type");
      },
      15000))
      << results.dump();
  // The function returns its params: the call's arguments.
  EXPECT_EQ(results["echo"], Json::parse(R"([{"a":1,"b":"ü"}])"));
  EXPECT_EQ(results["missing"], 404);
  EXPECT_EQ(results["type"], "text/html; charset=utf-8");
  EXPECT_EQ(results["cache"], "no-store");
  EXPECT_EQ(*evaluate("location.href"), std::string(kOrigin) + "index.html");

  // A click on the page takes the keyboard from the host; Escape gives it back.
  Window root = 0;
  Window parent = 0;
  Window* children = nullptr;
  unsigned count = 0;
  XQueryTree(display_, host_, &root, &parent, &children, &count);
  ASSERT_EQ(count, 1u);
  const Window page = children[0];
  XFree(children);
  auto focus = [&] {
    Window focused = 0;
    int revert = 0;
    XGetInputFocus(display_, &focused, &revert);
    return focused;
  };
  // Real input through the server (XTEST), as a user's mouse and keyboard make it.
  int x = 0;
  int y = 0;
  Window child = 0;
  XTranslateCoordinates(display_, page, DefaultRootWindow(display_), 40, 40, &x, &y, &child);
  XTestFakeMotionEvent(display_, -1, x, y, CurrentTime);
  XTestFakeButtonEvent(display_, 1, True, CurrentTime);
  XTestFakeButtonEvent(display_, 1, False, CurrentTime);
  XFlush(display_);
  EXPECT_TRUE(loop_.RunUntil([&] { return focus() == page; }, 3000)) << focus();
  const KeyCode escape = XKeysymToKeycode(display_, XK_Escape);
  XTestFakeKeyEvent(display_, escape, True, CurrentTime);
  XTestFakeKeyEvent(display_, escape, False, CurrentTime);
  XFlush(display_);
  EXPECT_TRUE(loop_.RunUntil([&] { return focus() == host_; }, 3000)) << focus();

  // Navigation away from the origin is refused, by the helper and from the page.
  browser_->LoadUrl("https://example.com/");
  evaluate("location.href = 'https://example.com/'; 1");
  loop_.RunUntil([] { return false; }, 300);
  EXPECT_EQ(*evaluate("location.href"), std::string(kOrigin) + "index.html");

  // The helper's window follows its host window.
  EXPECT_EQ(childWidth(), 1000);
  XResizeWindow(display_, host_, 900, 600);
  XSync(display_, False);
  EXPECT_TRUE(loop_.RunUntil([&] { return childWidth() == 900; }, 3000)) << childWidth();

  // Removal ends the helper without blocking and leaves no process behind.
  const pid_t pid = browser_->Pid();
  browser_->Shutdown();
  vstwebview::JoinReapers();
  EXPECT_TRUE(processGone(pid));
  EXPECT_FALSE(stopped_) << "a shutdown is not a stop";
}

TEST_F(HelperBrowserTest, SurvivesTheHelperDyingAndTheHostWindowGoing) {
  browser_ = HelperBrowser::Start(options());
  ASSERT_TRUE(browser_);
  ASSERT_TRUE(loop_.RunUntil([&] { return ready_; }, 15000));
  const pid_t pid = browser_->Pid();
  ::kill(pid, SIGKILL);
  ASSERT_TRUE(loop_.RunUntil([&] { return stopped_.has_value(); }, 5000));
  EXPECT_NE(stopped_->find("gone"), std::string::npos) << *stopped_;
  EXPECT_FALSE(browser_->Running());
  browser_->EvalJS("1", [](const Json&) { FAIL() << "no answer from a dead helper"; });
  browser_.reset();
  vstwebview::JoinReapers();
  EXPECT_TRUE(processGone(pid));

  // A second helper, whose host window is destroyed under it, ends by itself.
  ready_ = false;
  stopped_.reset();
  browser_ = HelperBrowser::Start(options());
  ASSERT_TRUE(loop_.RunUntil([&] { return ready_; }, 15000));
  const pid_t second = browser_->Pid();
  XDestroyWindow(display_, host_);
  host_ = 0;
  XSync(display_, False);
  ASSERT_TRUE(loop_.RunUntil([&] { return stopped_.has_value(); }, 5000));
  EXPECT_EQ(*stopped_, "the host window was destroyed");
  browser_.reset();
  vstwebview::JoinReapers();
  EXPECT_TRUE(processGone(second));
}

TEST_F(HelperBrowserTest, ExplainsAHelperThatCannotStart) {
  std::string error;
  EXPECT_FALSE(HelperBrowser::Start(options((folder_ / "absent").string()), &error));
  EXPECT_NE(error.find("cannot start"), std::string::npos) << error;

  // What the dynamic loader does when the WebKitGTK runtime is missing.
  const fs::path fake = folder_ / "fake-helper";
  std::ofstream(fake) << "#!/bin/sh\nexit 127\n";
  fs::permissions(fake, fs::perms::owner_all);
  browser_ = HelperBrowser::Start(options(fake.string()), &error);
  ASSERT_TRUE(browser_) << error;
  ASSERT_TRUE(loop_.RunUntil([&] { return stopped_.has_value(); }, 5000));
  EXPECT_NE(stopped_->find("libwebkit2gtk-4.1-0"), std::string::npos) << *stopped_;
  EXPECT_FALSE(ready_);
}

// The export's save dialog runs in the helper; the plug-in waits for it as for any modal
// dialog, and the page's calls made meanwhile are answered once it closes.
TEST_F(HelperBrowserTest, RunsTheSaveDialogModally) {
  browser_ = HelperBrowser::Start(options());
  ASSERT_TRUE(browser_);
  ASSERT_TRUE(loop_.RunUntil([&] { return ready_; }, 15000));
  ASSERT_TRUE(loop_.RunUntil(
      [&] {
        auto value = evaluate("JSON.stringify(window.results || {})");
        return value && value->is_string() &&
               Json::parse(value->get<std::string>()).value("done", false);
      },
      15000));
  evaluate(
      "window.calls = 0; setInterval(() => window.tavrenaEcho(1).then(() => ++window.calls), 20); "
      "1");

  // Someone closes the dialog after a while, as a user pressing Escape would.
  std::thread user([] {
    Display* display = XOpenDisplay(nullptr);
    Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    Atom close = XInternAtom(display, "WM_DELETE_WINDOW", False);
    for (int i = 0; i < 500; ++i) {
      Window root = 0;
      Window parent = 0;
      Window* children = nullptr;
      unsigned count = 0;
      XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
      Window dialog = 0;
      for (unsigned k = 0; k < count && !dialog; ++k) {
        char* name = nullptr;
        if (XFetchName(display, children[k], &name) && name) {
          if (std::string(name) == "Export MIDI") dialog = children[k];
          XFree(name);
        }
      }
      if (children) XFree(children);
      if (dialog) {
        ::usleep(300000);
        tavrena::testing::sendClientMessage(display, dialog, protocols,
                                            {static_cast<long>(close), CurrentTime});
        break;
      }
      ::usleep(20000);
    }
    XCloseDisplay(display);
  });
  const std::string chosen = browser_->RunSaveDialog("solo.mid", "Export MIDI");
  user.join();
  EXPECT_EQ(chosen, "") << "closing the dialog cancels it";
  ASSERT_TRUE(browser_->Running());
  // The page's calls go on being answered afterwards.
  const auto calls = [&] { return evaluate("window.calls")->get<int>(); };
  const int before = calls();
  EXPECT_TRUE(loop_.RunUntil([&] { return calls() > before + 3; }, 3000));
}

// The drag runs while the user holds the button, and reports whether a target took the file.
TEST_F(HelperBrowserTest, DragsTheFileToATargetAndReportsTheDrop) {
  browser_ = HelperBrowser::Start(options());
  ASSERT_TRUE(browser_);
  ASSERT_TRUE(loop_.RunUntil([&] { return ready_; }, 15000));
  const fs::path file = folder_ / "Solo-drag.mid";
  std::ofstream(file) << "MThd";
  const int screenWidth = DisplayWidth(display_, DefaultScreen(display_));
  const int screenHeight = DisplayHeight(display_, DefaultScreen(display_));
  const int targetX = screenWidth - 220, targetY = screenHeight - 170;

  auto dragWith = [&](bool cancel, tavrena::testing::DropRecord* record) {
    // The button goes down on the page, as the page's drag handle needs.
    XTestFakeMotionEvent(display_, -1, 40, 40, CurrentTime);
    XTestFakeButtonEvent(display_, 1, True, CurrentTime);
    XFlush(display_);
    std::thread user([&] { *record = tavrena::testing::dropOnTarget(targetX, targetY, cancel); });
    const bool dropped = browser_->RunDrag(file.string());
    user.join();
    return dropped;
  };

  tavrena::testing::DropRecord record;
  EXPECT_TRUE(dragWith(false, &record));
  EXPECT_TRUE(record.entered && record.dropped);
  EXPECT_EQ(record.uris.rfind("file://" + file.string(), 0), 0u) << record.uris;

  // Escape over the target cancels: nothing is dropped, and the drag says so.
  record = {};
  EXPECT_FALSE(dragWith(true, &record));
  EXPECT_FALSE(record.dropped);
  EXPECT_TRUE(browser_->Running());
  EXPECT_EQ(*evaluate("1 + 1"), 2) << "the page goes on after the drags";
}

TEST_F(HelperBrowserTest, TheNoticeSaysWhyAndOffersToReopen) {
  int reopened = 0;
  auto notice = vstwebview::NoticeWindow::Show(host_, 1000, 667, "the editor stopped", &loop_,
                                               [&] { ++reopened; });
  ASSERT_TRUE(notice);
  EXPECT_EQ(notice->Text(), "the editor stopped");
  EXPECT_TRUE(loop_.RunUntil([&] { return childWidth() == 1000; }, 2000)) << childWidth();
  notice->Resize(900, 600);
  EXPECT_TRUE(loop_.RunUntil([&] { return childWidth() == 900; }, 2000));

  // A click beside the button does nothing; one on it reopens.
  auto click = [&](int x, int y) {
    XEvent event{};
    event.xbutton.type = ButtonPress;
    event.xbutton.window = notice->WindowId();
    event.xbutton.x = x;
    event.xbutton.y = y;
    event.xbutton.button = Button1;
    XSendEvent(display_, notice->WindowId(), False, ButtonPressMask, &event);
    XFlush(display_);
  };
  click(5, 5);
  loop_.RunUntil([] { return false; }, 200);
  EXPECT_EQ(reopened, 0);
  click(vstwebview::NoticeWindow::kButtonX + 10, vstwebview::NoticeWindow::kButtonY + 10);
  EXPECT_TRUE(loop_.RunUntil([&] { return reopened == 1; }, 2000));
  notice.reset();
  EXPECT_FALSE(loop_.Watching());
}

}  // namespace
