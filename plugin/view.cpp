#include "view.h"

#include <cstdint>
#include <limits>
#include <utility>

#include "controller.h"

using namespace Steinberg;

namespace tavrena {
namespace {

constexpr const char* kTitle = "Tavrena";
constexpr int32 kInitialWidth = 1200;
constexpr int32 kInitialHeight = 800;
constexpr std::int64_t kMinWidth = 900;
constexpr std::int64_t kMaxWidth = 1920;
constexpr double kHeightPerWidth = 0.6666666666666666;

}  // namespace

View::View(Controller* controller, vstwebview::BrowserFactory factory)
    : WebviewPluginView(controller, kTitle, {controller},
                        ViewRect(0, 0, kInitialWidth, kInitialHeight),
                        vstwebview::PlatformPageUrl(), std::move(factory)),
      owner_(controller) {}

void View::attachedToParent() {
  WebviewPluginView::attachedToParent();
  services_ = editorServicesFor(browser());
  if (services_) owner_->setEditorServices(services_);
}

void View::removedFromParent() {
  // Before the browser goes: the services point into it.
  if (services_) owner_->setEditorServices(nullptr);
  services_.reset();
  WebviewPluginView::removedFromParent();
}

tresult PLUGIN_API View::checkSizeConstraint(ViewRect* rect) {
  if (!rect) return kInvalidArgument;
  // 64-bit, so that a rectangle at the edge of the coordinate range cannot overflow.
  std::int64_t width = std::int64_t{rect->right} - rect->left;
  if (width >= kMaxWidth + 1)
    width = kMaxWidth;
  else if (width <= kMinWidth - 1)
    width = kMinWidth;
  const std::int64_t right = rect->left + width;
  const std::int64_t bottom =
      rect->top + static_cast<std::int64_t>(static_cast<double>(width) * kHeightPerWidth + 0.5);
  if (right > std::numeric_limits<int32>::max() || bottom > std::numeric_limits<int32>::max())
    return kInvalidArgument;  // no rectangle of the allowed size fits there
  rect->right = static_cast<int32>(right);
  rect->bottom = static_cast<int32>(bottom);
  return kResultTrue;
}

}  // namespace tavrena
