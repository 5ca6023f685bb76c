#pragma once
// Export, drag and the maker's site for the browser-hosted editor. A browser page
// cannot ask for a save dialog or start an operating-system drag, so export writes
// into a chosen folder under the suggested name (never over an existing file) and
// drag answers false without writing anything.
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "editor_services.h"

namespace tavrena::editor {

class LoopbackServices : public EditorServices {
 public:
  // report receives one line for every file exported.
  LoopbackServices(std::filesystem::path exportFolder, std::function<void(std::string)> report);

  // exportFolder/suggestedName, or "name (2).mid", "name (3).mid"... when taken; the
  // name is reserved by creating the file, so nothing else can take it meanwhile.
  std::optional<std::filesystem::path> ChooseSavePath(const std::string& suggestedName) override;
  std::optional<std::filesystem::path> LocalDataFolder() override { return std::nullopt; }
  bool DragFile(const std::filesystem::path&) override { return false; }
  bool OpenUrl(const std::string& url) override;

 private:
  std::filesystem::path folder_;
  std::function<void(std::string)> report_;
};

// Creates path only if nothing is there yet; true when this call created it.
bool createExclusively(const std::filesystem::path& path);

// Starts the user's browser on url without waiting for it ($BROWSER, else the
// platform's opener). True when the opener was started.
bool openInBrowser(const std::string& url);

}  // namespace tavrena::editor
