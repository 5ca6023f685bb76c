// The plug-in's editor view: the controller's createView, the size rule, and what a new
// browser is given (the controller's native functions, the title, the size, the page).
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>

#include "controller.h"
#include "fake_browser.h"
#include "view.h"

namespace tavrena {
namespace {

using Steinberg::IPlugView;
using Steinberg::IPtr;
using Steinberg::kInvalidArgument;
using Steinberg::kResultFalse;
using Steinberg::kResultOk;
using Steinberg::kResultTrue;
using Steinberg::owned;
using Steinberg::ViewRect;
using testing::EventLog;
using testing::FakeBrowser;
using testing::FakeBrowserFactory;

class ViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    controller = owned(new Controller());
    controller->setBrowserFactory(factory.function());
  }

  EventLog log;
  FakeBrowserFactory factory{log};
  IPtr<Controller> controller;
};

TEST_F(ViewTest, OnlyTheNameEditorMakesAView) {
  IPtr<IPlugView> editor = owned(controller->createView("editor"));
  ASSERT_NE(editor, nullptr);
  EXPECT_NE(dynamic_cast<View*>(editor.get()), nullptr);
  // Every call makes a view of its own.
  IPtr<IPlugView> another = owned(controller->createView("editor"));
  EXPECT_NE(another, editor);

  EXPECT_EQ(controller->createView("Editor"), nullptr);
  EXPECT_EQ(controller->createView("editor "), nullptr);
  EXPECT_EQ(controller->createView(""), nullptr);
  EXPECT_EQ(controller->createView(nullptr), nullptr);
}

TEST_F(ViewTest, StartsAt1200By800AndResizes) {
  IPtr<IPlugView> view = owned(controller->createView("editor"));
  ViewRect size;
  ASSERT_EQ(view->getSize(&size), kResultTrue);
  EXPECT_EQ(size.left, 0);
  EXPECT_EQ(size.top, 0);
  EXPECT_EQ(size.right, 1200);
  EXPECT_EQ(size.bottom, 800);
  EXPECT_EQ(view->canResize(), kResultTrue);
}

TEST_F(ViewTest, SizeConstraintClampsTheWidthAndDerivesTheHeight) {
  View view(controller);
  struct Row {
    ViewRect in;
    ViewRect out;
  };
  const Row rows[] = {
      {{0, 0, 800, 100}, {0, 0, 900, 600}},          // too narrow
      {{0, 0, 899, 0}, {0, 0, 900, 600}},            // one below the minimum
      {{0, 0, 900, 9999}, {0, 0, 900, 600}},         // the minimum itself
      {{0, 0, 1500, 100}, {0, 0, 1500, 1000}},       // 999.99999... + 0.5 stays 1000
      {{0, 0, 1000, 0}, {0, 0, 1000, 667}},          // 666.67 rounds up
      {{0, 0, 1920, 0}, {0, 0, 1920, 1280}},         // the maximum itself
      {{0, 0, 1921, 0}, {0, 0, 1920, 1280}},         // one above it
      {{0, 0, 2500, 300}, {0, 0, 1920, 1280}},       // too wide
      {{10, 20, 1010, 20}, {10, 20, 1010, 687}},     // left and top stay
      {{-500, -40, 700, 0}, {-500, -40, 700, 760}},  // negative origin, 1200 wide
      {{300, 0, 100, 0}, {300, 0, 1200, 600}},       // right before left: the minimum
  };
  for (const Row& row : rows) {
    ViewRect rect = row.in;
    EXPECT_EQ(view.checkSizeConstraint(&rect), kResultTrue);
    EXPECT_EQ((std::array{rect.left, rect.top, rect.right, rect.bottom}),
              (std::array{row.out.left, row.out.top, row.out.right, row.out.bottom}))
        << "from " << row.in.left << ',' << row.in.top << ' ' << row.in.right << ','
        << row.in.bottom;
  }
  EXPECT_EQ(view.checkSizeConstraint(nullptr), kInvalidArgument);
}

TEST_F(ViewTest, SizeConstraintAtTheEdgeOfTheCoordinateRange) {
  View view(controller);
  constexpr auto kMin = std::numeric_limits<Steinberg::int32>::min();
  constexpr auto kMax = std::numeric_limits<Steinberg::int32>::max();
  // A width beyond the 32-bit range is still just too wide.
  ViewRect widest(kMin, 0, kMax, 0);
  EXPECT_EQ(view.checkSizeConstraint(&widest), kResultTrue);
  EXPECT_EQ(widest.right, kMin + 1920);
  EXPECT_EQ(widest.bottom, 1280);
  // No allowed rectangle fits to the right of this left edge: refused, left as it was.
  ViewRect edge(kMax - 100, kMax - 100, kMax, kMax);
  EXPECT_EQ(view.checkSizeConstraint(&edge), kInvalidArgument);
  EXPECT_EQ(edge.right, kMax);
  EXPECT_EQ(edge.bottom, kMax);
}

TEST_F(ViewTest, NewBrowserGetsTheControllersFunctionsTitleSizeAndPage) {
  IPtr<IPlugView> view = owned(controller->createView("editor"));
  int parentWindow = 0;
  ASSERT_EQ(view->attached(&parentWindow, vstwebview::PlatformViewType()), kResultOk);
  auto* browser = static_cast<FakeBrowser*>(static_cast<View*>(view.get())->browser());
  ASSERT_NE(browser, nullptr);
  browser->becomeReady();

  for (const char* name : {"tavrenaRead", "tavrenaWrite", "tavrenaGenerate", "tavrenaCancel",
                           "tavrenaExport", "tavrenaDrag", "tavrenaPlayback", "tavrenaOpenBrand"})
    EXPECT_TRUE(browser->IsBound(name)) << name;
#if defined(_WIN32)
  const std::string page = "https://tavrena.invalid/index.html";
#else
  // This platform's browser serves the page under an origin of its own.
  const std::string page = "https://root.test/index.html";
#endif
  EXPECT_EQ(EventLog(log.begin() + 1, log.end()),
            (EventLog{"b1 SetWindowTitle Tavrena", "b1 ResizeWindow 1200x800 Fixed",
                      "b1 LoadUrl " + page}));

  // Removed and attached again: the functions are bound on the new browser as well.
  ASSERT_EQ(view->removed(), kResultOk);
  ASSERT_EQ(view->attached(&parentWindow, vstwebview::PlatformViewType()), kResultOk);
  browser = static_cast<FakeBrowser*>(static_cast<View*>(view.get())->browser());
  ASSERT_NE(browser, nullptr);
  EXPECT_EQ(browser->name(), "b2");
  EXPECT_FALSE(browser->IsBound("tavrenaRead"));
  browser->becomeReady();
  EXPECT_TRUE(browser->IsBound("tavrenaRead"));
  EXPECT_TRUE(browser->IsBound("tavrenaOpenBrand"));
}

#if !defined(_WIN32)
TEST_F(ViewTest, WithoutTheHostsRunLoopTheEditorStaysEmptyAndSaysWhy) {
  controller = owned(new Controller());  // the platform's own factory; no frame is set
  IPtr<IPlugView> view = owned(controller->createView("editor"));
  int parentWindow = 0;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(view->attached(&parentWindow, vstwebview::PlatformViewType()), kResultOk);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "Tavrena editor: the host offers no run loop (Linux::IRunLoop) for the editor\n");
  EXPECT_EQ(static_cast<View*>(view.get())->browser(), nullptr);
  ViewRect size(0, 0, 1500, 1000);
  EXPECT_EQ(view->onSize(&size), kResultTrue);
  EXPECT_EQ(view->removed(), kResultOk);
}
#endif

}  // namespace
}  // namespace tavrena
