// The plug-in view around a browser, driven as a host drives it (attach, size, remove,
// attach again), against a fake browser factory: what reaches the browser and the edit
// controller, in which order, and the references the view holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <stdexcept>

#include "fake_browser.h"
#include "pluginterfaces/gui/iplugview.h"
#include "vstwebview/plugin_view.h"

namespace vstwebview {
namespace {

using Steinberg::FUnknown;
using Steinberg::IPlugFrame;
using Steinberg::IPlugView;
using Steinberg::IPtr;
using Steinberg::kInvalidArgument;
using Steinberg::kResultFalse;
using Steinberg::kResultOk;
using Steinberg::kResultTrue;
using Steinberg::owned;
using Steinberg::ViewRect;
using tavrena::testing::EventLog;
using tavrena::testing::FakeBrowser;
using tavrena::testing::FakeBrowserFactory;

// Logs what the SDK's editor view tells its controller.
class RecordingController : public Steinberg::Vst::EditController {
 public:
  explicit RecordingController(EventLog& log) : log_(log) {}
  void editorAttached(Steinberg::Vst::EditorView*) override {
    log_.push_back("controller attached");
  }
  void editorRemoved(Steinberg::Vst::EditorView*) override { log_.push_back("controller removed"); }
  void editorDestroyed(Steinberg::Vst::EditorView*) override {
    log_.push_back("controller destroyed");
  }

 private:
  EventLog& log_;
};

class LoggingBindings : public Bindings {
 public:
  LoggingBindings(EventLog& log, std::string name) : log_(log), name_(std::move(name)) {}
  void Bind(Webview* webview) override {
    if (fail) throw std::runtime_error("cannot bind");
    log_.push_back(name_ + " Bind " + static_cast<FakeBrowser*>(webview)->name());
  }
  bool fail = false;

 private:
  EventLog& log_;
  std::string name_;
};

// A host frame that counts the references it is given.
class CountingFrame : public IPlugFrame {
 public:
  Steinberg::tresult PLUGIN_API resizeView(IPlugView*, ViewRect*) override { return kResultOk; }
  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID, void** obj) override {
    *obj = nullptr;
    return Steinberg::kNoInterface;
  }
  Steinberg::uint32 PLUGIN_API addRef() override { return static_cast<Steinberg::uint32>(++refs); }
  Steinberg::uint32 PLUGIN_API release() override { return static_cast<Steinberg::uint32>(--refs); }
  int refs = 1;  // the host's own
};

std::string createLine(void* parent) {
  std::ostringstream line;
  line << "create " << parent << " debug=0";
  return line.str();
}

class PluginViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    controller = owned(new RecordingController(log));
    makeView("https://page.test/page.html");
  }

  void makeView(std::string url) {
    view =
        owned(new WebviewPluginView(controller, "Title", {&first, &second},
                                    ViewRect(0, 0, 1000, 700), std::move(url), factory.function()));
  }

  Steinberg::tresult attach() { return view->attached(parent, PlatformViewType()); }

  FakeBrowser* browser() const { return static_cast<FakeBrowser*>(view->browser()); }

  // The log from entry `from` on.
  EventLog since(std::size_t from) const {
    return {log.begin() + static_cast<std::ptrdiff_t>(from), log.end()};
  }

  EventLog log;
  FakeBrowserFactory factory{log};
  LoggingBindings first{log, "first"};
  LoggingBindings second{log, "second"};
  int parentWindow = 0;
  void* parent = &parentWindow;
  IPtr<RecordingController> controller;
  IPtr<WebviewPluginView> view;
};

TEST_F(PluginViewTest, AcceptsOnlyThePlatformsOwnParentWindowType) {
#if defined(_WIN32)
  const char* supported = "HWND";
#else
  const char* supported = "X11EmbedWindowID";
#endif
  EXPECT_EQ(view->isPlatformTypeSupported(supported), kResultTrue);
  EXPECT_EQ(view->isPlatformTypeSupported(nullptr), kResultFalse);
  for (const char* type : {Steinberg::kPlatformTypeHWND, Steinberg::kPlatformTypeHIView,
                           Steinberg::kPlatformTypeNSView, Steinberg::kPlatformTypeUIView,
                           Steinberg::kPlatformTypeX11EmbedWindowID, "hwnd", "HWND ", ""}) {
    if (std::string(type) == supported) continue;
    EXPECT_EQ(view->isPlatformTypeSupported(type), kResultFalse) << type;
    // Nothing is embedded in a window of another kind.
    EXPECT_EQ(view->attached(parent, type), kResultFalse) << type;
  }
  EXPECT_EQ(view->attached(nullptr, supported), kInvalidArgument);
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(view->browser(), nullptr);
}

TEST_F(PluginViewTest, ReadyBrowserIsBoundThenTitledSizedAndLoaded) {
  ASSERT_EQ(attach(), kResultOk);
  EXPECT_EQ(log, (EventLog{createLine(parent), "controller attached"}));
  ASSERT_NE(browser(), nullptr);
  EXPECT_EQ(browser()->NativeWindow(), parent);

  browser()->becomeReady();
  EXPECT_EQ(since(2),
            (EventLog{"first Bind b1", "second Bind b1", "b1 SetWindowTitle Title",
                      "b1 ResizeWindow 1000x700 Fixed", "b1 LoadUrl https://page.test/page.html"}));
}

TEST_F(PluginViewTest, EmptyUrlLoadsTheBrowsersOwnIndexPage) {
  makeView("");
  attach();
  browser()->becomeReady();
  EXPECT_EQ(log.back(), "b1 LoadUrl https://root.test/index.html");
}

TEST_F(PluginViewTest, BrowserReadyBeforeTheFactoryReturnsIsSetUpToo) {
  factory.outcome = FakeBrowserFactory::Outcome::ReadyAtOnce;
  attach();
  EXPECT_EQ(log, (EventLog{createLine(parent), "first Bind b1", "second Bind b1",
                           "b1 SetWindowTitle Title", "b1 ResizeWindow 1000x700 Fixed",
                           "b1 LoadUrl https://page.test/page.html", "controller attached"}));
}

TEST_F(PluginViewTest, AttachingAgainAfterRemovalMakesAndBindsAFreshBrowser) {
  attach();
  browser()->becomeReady();
  const std::size_t beforeRemoval = log.size();
  ASSERT_EQ(view->removed(), kResultOk);
  EXPECT_EQ(view->browser(), nullptr);
  EXPECT_EQ(since(beforeRemoval), (EventLog{"b1 Shutdown", "b1 destroyed", "controller removed"}));

  const std::size_t beforeAttach = log.size();
  attach();
  browser()->becomeReady();
  EXPECT_EQ(factory.made(), 2);
  EXPECT_EQ(since(beforeAttach),
            (EventLog{createLine(parent), "controller attached", "first Bind b2", "second Bind b2",
                      "b2 SetWindowTitle Title", "b2 ResizeWindow 1000x700 Fixed",
                      "b2 LoadUrl https://page.test/page.html"}));
}

TEST_F(PluginViewTest, SizeWithoutABrowserIsRememberedForTheNextOne) {
  ViewRect size(0, 0, 1300, 866);
  EXPECT_EQ(view->onSize(&size), kResultTrue);
  EXPECT_TRUE(log.empty());
  ViewRect reported;
  ASSERT_EQ(view->getSize(&reported), kResultTrue);
  EXPECT_EQ(reported.getWidth(), 1300);
  EXPECT_EQ(reported.getHeight(), 866);

  attach();
  browser()->becomeReady();
  EXPECT_NE(std::find(log.begin(), log.end(), "b1 ResizeWindow 1300x866 Fixed"), log.end());

  // With a browser, the host's size reaches it at once, freely resizable.
  ViewRect larger(0, 0, 1600, 1066);
  view->onSize(&larger);
  EXPECT_EQ(log.back(), "b1 ResizeWindow 1600x1066 Free");
  ASSERT_EQ(view->getSize(&reported), kResultTrue);
  EXPECT_EQ(reported.getWidth(), 1600);

  // A null rectangle changes nothing.
  const std::size_t before = log.size();
  EXPECT_EQ(view->onSize(nullptr), kResultTrue);
  EXPECT_EQ(log.size(), before);
  view->getSize(&reported);
  EXPECT_EQ(reported.getWidth(), 1600);
  EXPECT_EQ(view->getSize(nullptr), kInvalidArgument);
}

TEST_F(PluginViewTest, HostResizingAgainFromInsideTheBrowserResizeDoesNotDeadlock) {
  attach();
  ViewRect inner(0, 0, 900, 600);
  bool reentered = false;
  browser()->onResize = [&] {
    if (reentered) return;
    reentered = true;
    view->onSize(&inner);
  };
  ViewRect outer(0, 0, 1000, 667);
  view->onSize(&outer);
  EXPECT_TRUE(reentered);
  EXPECT_EQ(since(2), (EventLog{"b1 ResizeWindow 1000x667 Free", "b1 ResizeWindow 900x600 Free"}));
}

TEST_F(PluginViewTest, WithoutABrowserTheViewStillWorks) {
  for (auto outcome : {FakeBrowserFactory::Outcome::Null, FakeBrowserFactory::Outcome::Throw}) {
    SCOPED_TRACE(static_cast<int>(outcome));
    log.clear();
    factory.outcome = outcome;
    ASSERT_EQ(attach(), kResultOk);
    EXPECT_EQ(view->browser(), nullptr);
    ViewRect size(0, 0, 1100, 733);
    EXPECT_EQ(view->onSize(&size), kResultTrue);
    ViewRect reported;
    view->getSize(&reported);
    EXPECT_EQ(reported.getWidth(), 1100);
    EXPECT_EQ(view->removed(), kResultOk);
    EXPECT_EQ(log, (EventLog{createLine(parent), "controller attached", "controller removed"}));
  }
}

TEST_F(PluginViewTest, BindingThatFailsLeavesTheBrowserBlankWithoutThrowing) {
  first.fail = true;
  attach();
  EXPECT_NO_THROW(browser()->becomeReady());
  EXPECT_EQ(log, (EventLog{createLine(parent), "controller attached"}));
  EXPECT_EQ(view->removed(), kResultOk);
}

TEST_F(PluginViewTest, BrowserThatFailsToResizeOrShutDownNeverReachesTheHost) {
  attach();
  browser()->failing = true;
  ViewRect size(0, 0, 1200, 800);
  EXPECT_EQ(view->onSize(&size), kResultTrue);
  ViewRect reported;
  view->getSize(&reported);
  EXPECT_EQ(reported.getWidth(), 1200);
  const std::size_t before = log.size();
  EXPECT_EQ(view->removed(), kResultOk);
  EXPECT_EQ(view->browser(), nullptr);
  EXPECT_EQ(since(before), (EventLog{"b1 Shutdown", "b1 destroyed", "controller removed"}));
}

TEST_F(PluginViewTest, FrameReferencesAreKeptAndReleased) {
  CountingFrame a;
  CountingFrame b;
  EXPECT_EQ(view->setFrame(&a), kResultTrue);
  EXPECT_EQ(a.refs, 2);
  view->setFrame(&a);  // the same frame again takes no second reference
  EXPECT_EQ(a.refs, 2);
  view->setFrame(&b);
  EXPECT_EQ(a.refs, 1);
  EXPECT_EQ(b.refs, 2);
  view->setFrame(nullptr);
  EXPECT_EQ(b.refs, 1);

  // A view released while it still holds a frame gives its reference back.
  view->setFrame(&a);
  view = nullptr;
  EXPECT_EQ(a.refs, 1);
  EXPECT_EQ(b.refs, 1);
}

TEST_F(PluginViewTest, ReleasedViewDestroysItsBrowserThenLetsGoOfTheController) {
  const auto references = [this] {
    controller->addRef();
    return controller->release();
  };
  const Steinberg::uint32 withView = references();
  attach();
  browser()->becomeReady();
  const std::size_t before = log.size();
  view = nullptr;
  EXPECT_EQ(since(before), (EventLog{"b1 destroyed", "controller destroyed"}));
  EXPECT_EQ(references(), withView - 1);
}

}  // namespace
}  // namespace vstwebview
