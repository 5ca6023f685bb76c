// The eight functions the editor page calls, registered on each new editor web view.
// They run on the user-interface thread, one at a time, and return at once: a
// generation only starts here and is collected by a later tavrenaRead.
#include <cstdint>
#include <utility>

#include "controller.h"
#include "midi/transfer.h"
#include "vstwebview/webview.h"

namespace tavrena {
namespace {

constexpr char kMakerSite[] = "https://www.veltmark.com/";

// The page's positional arguments arrive as an array; anything else carries none.
const Json* argument(const Json& params, std::size_t index) {
  if (!params.is_array() || params.size() <= index) return nullptr;
  return &params[index];
}

// Only a JSON integer can name a revision: 3.0 is a different value to the page.
bool namesRevision(const Json* value, std::uint32_t revision) {
  if (!value) return false;
  if (value->is_number_unsigned()) return value->get<std::uint64_t>() == revision;
  if (value->is_number_integer()) {
    const auto number = value->get<std::int64_t>();
    return number >= 0 && static_cast<std::uint64_t>(number) == revision;
  }
  return false;
}

}  // namespace

Json Controller::snapshot(const Json* knownRevision) const {
  Json result = {
      {"revision", revision}, {"transport", transport}, {"busy", hasJob()}, {"status", status}};
  if (!namesRevision(knownRevision, revision)) result["state"] = state;
  return result;
}

void Controller::Bind(vstwebview::Webview* webview) {
  using Params = const Json&;
  const auto bind = [webview](const char* name, auto function) {
    webview->ExposeFunction(name, [function](vstwebview::Webview*, std::int32_t, const std::string&,
                                             Params params) { return Json(function(params)); });
  };

  bind("tavrenaRead", [this](Params params) {
    collectGeneration();
    requestTransport();
    return snapshot(argument(params, 0));
  });
  bind("tavrenaWrite", [this](Params params) {
    const Json* candidate = argument(params, 0);
    return candidate != nullptr && applyState(*candidate);
  });
  bind("tavrenaGenerate", [this](Params) { return startGeneration(); });
  bind("tavrenaCancel", [this](Params) {
    requestCancel();
    return true;
  });
  bind("tavrenaExport",
       [this](Params) { return services != nullptr && exportMidiFile(state, *services); });
  bind("tavrenaDrag",
       [this](Params) { return services != nullptr && dragMidiFile(state, *services); });
  bind("tavrenaPlayback", [this](Params params) {
    const Json* play = argument(params, 0);
    // Anything but a boolean is the library's type error: the page's call is rejected.
    return play != nullptr && sendPlayback(play->get<bool>());
  });
  bind("tavrenaOpenBrand",
       [this](Params) { return services != nullptr && services->OpenUrl(kMakerSite); });
}

}  // namespace tavrena
