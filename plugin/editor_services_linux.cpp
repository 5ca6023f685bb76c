// What the embedded Linux editor offers the page's native functions: the save dialog and the
// drag run in the browser helper (the plug-in has no toolkit of its own), files for dragging
// go to the user's data folder, and the web site opens in the desktop's browser.
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <system_error>

#include "view.h"
#include "vstwebview/embedded_editor.h"

extern char** environ;

namespace tavrena {
namespace {

class LinuxEditorServices final : public EditorServices {
 public:
  explicit LinuxEditorServices(vstwebview::EmbeddedEditor* editor) : editor_(editor) {}

  std::optional<std::filesystem::path> ChooseSavePath(const std::string& suggestedName) override {
    return editor_->ChooseSavePath(suggestedName);
  }

  // $XDG_DATA_HOME, else ~/.local/share, as the desktop's own applications use.
  std::optional<std::filesystem::path> LocalDataFolder() override {
    std::filesystem::path folder;
    const char* data = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    if (data && *data == '/') {
      folder = data;
    } else if (home && *home == '/') {
      folder = std::filesystem::path(home) / ".local" / "share";
    } else {
      return std::nullopt;
    }
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) return std::nullopt;
    return folder;
  }

  bool DragFile(const std::filesystem::path& file) override { return editor_->DragFile(file); }

  bool OpenUrl(const std::string& url) override {
    // Through a shell that leaves xdg-open running on its own and ends at once, so the host
    // never waits for a browser and no child of ours outlives the call.
    std::string shell = "/bin/sh";
    std::string flag = "-c";
    std::string script = "xdg-open \"$1\" >/dev/null 2>&1 &";
    std::string name = "tavrena-open";
    std::string argument = url;
    char* argv[] = {shell.data(), flag.data(),     script.data(),
                    name.data(),  argument.data(), nullptr};
    pid_t child = 0;
    if (posix_spawn(&child, shell.c_str(), nullptr, nullptr, argv, environ) != 0) return false;
    int status = 0;
    return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }

 private:
  vstwebview::EmbeddedEditor* editor_;
};

}  // namespace

std::shared_ptr<EditorServices> editorServicesFor(vstwebview::Webview* browser) {
  auto* editor = dynamic_cast<vstwebview::EmbeddedEditor*>(browser);
  if (!editor) return nullptr;
  return std::make_shared<LinuxEditorServices>(editor);
}

}  // namespace tavrena
