#include "loopback_services.h"

#include <utility>

namespace tavrena::editor {
namespace {

constexpr int kMaxNameAttempts = 10000;

std::u8string utf8(const std::string& text) {
  return std::u8string(text.begin(), text.end());
}

}  // namespace

LoopbackServices::LoopbackServices(std::filesystem::path exportFolder,
                                   std::function<void(std::string)> report)
    : folder_(std::move(exportFolder)), report_(std::move(report)) {}

std::optional<std::filesystem::path> LoopbackServices::ChooseSavePath(
    const std::string& suggestedName) {
  // Nobody is there to type a name into an empty field.
  const std::filesystem::path suggested(utf8(suggestedName.empty() ? "solo.mid" : suggestedName));
  for (int attempt = 1; attempt <= kMaxNameAttempts; ++attempt) {
    const std::filesystem::path candidate =
        attempt == 1
            ? folder_ / suggested
            : folder_ / (suggested.stem().u8string() + utf8(" (" + std::to_string(attempt) + ")") +
                         suggested.extension().u8string());
    if (createExclusively(candidate)) {
      const std::u8string shown = candidate.u8string();
      if (report_) report_("writing the MIDI file " + std::string(shown.begin(), shown.end()));
      return candidate;
    }
    std::error_code error;
    if (!std::filesystem::exists(candidate, error)) return std::nullopt;  // folder unusable
  }
  return std::nullopt;
}

bool LoopbackServices::OpenUrl(const std::string& url) {
  return openInBrowser(url);
}

}  // namespace tavrena::editor
