#pragma once
// Export and drag on Windows: the common save dialog, the local application-data known
// folder and OLE drag and drop. Every call runs on the editor's user-interface thread
// and blocks it while the dialog or the drag runs.
#include <string>
#include <string_view>
#include <vector>

#include "midi/transfer.h"

namespace tavrena {

// UTF-8 to UTF-16 and back; invalid sequences become U+FFFD.
std::wstring utf8ToUtf16(std::string_view text);
std::string utf16ToUtf8(std::wstring_view text);

// The save dialog's file-name buffer: 32768 UTF-16 units holding the suggested name
// (UTF-8) and its terminating zero, the name cut to fit without splitting a
// surrogate pair.
std::vector<wchar_t> saveDialogBuffer(const std::string& suggestedName);

class Win32Transfer : public TransferPlatform {
 public:
  // GetSaveFileNameW with no owner window: filter "MIDI (*.mid)", default extension
  // "mid", overwrite prompt, existing path, current directory left alone.
  std::optional<std::filesystem::path> ChooseSavePath(const std::string& suggestedName) override;
  // The local application-data known folder, created if missing.
  std::optional<std::filesystem::path> LocalDataFolder() override;
  // OLE drag and drop of the file as CF_HDROP, copy only; OLE is initialised for this
  // thread around it. True exactly when the drag ended with a drop.
  bool DragFile(const std::filesystem::path& file) override;
};

}  // namespace tavrena
