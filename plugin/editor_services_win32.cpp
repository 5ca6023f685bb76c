// What the Windows editor offers the page's native functions: the common save dialog,
// the local application-data folder, OLE drag and drop and the shell. None of it needs
// the browser: the dialog has no owner window and the drag follows the mouse.
#include <windows.h>
// The rest of the system headers need windows.h first.

#include <shellapi.h>

#include "midi/transfer_win32.h"
#include "view.h"

namespace tavrena {
namespace {

class WindowsEditorServices final : public EditorServices {
 public:
  std::optional<std::filesystem::path> ChooseSavePath(const std::string& suggestedName) override {
    return transfer_.ChooseSavePath(suggestedName);
  }
  std::optional<std::filesystem::path> LocalDataFolder() override {
    return transfer_.LocalDataFolder();
  }
  bool DragFile(const std::filesystem::path& file) override { return transfer_.DragFile(file); }

  bool OpenUrl(const std::string& url) override {
    const std::wstring target = utf8ToUtf16(url);
    if (target.empty()) return false;
    const HINSTANCE result =
        ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    // Not a handle: a number above 32 for success, an error code otherwise.
    return reinterpret_cast<INT_PTR>(result) > 32;
  }

 private:
  Win32Transfer transfer_;
};

}  // namespace

std::shared_ptr<EditorServices> editorServicesFor(vstwebview::Webview*) {
  return std::make_shared<WindowsEditorServices>();
}

}  // namespace tavrena
