#pragma once
// Getting the selected solo out of the plug-in: export to a file the user names, or
// drag a freshly written file into the host. The operating-system parts (save dialog,
// known folders, drag and drop) sit behind TransferPlatform; each editor host
// implements it. Everything here runs on the editor's user-interface thread and
// blocks it while the dialog or the drag runs.
#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "theory/json.h"

namespace tavrena {

// What a host provides for getting a MIDI file out: each editor host (the Windows
// WebView2 editor, the Linux editor, the loopback browser host) implements it.
class TransferPlatform {
 public:
  virtual ~TransferPlatform() = default;
  // Asks the user where to save; suggestedName is pre-filled (UTF-8, may be empty).
  // The chosen path, or nullopt when cancelled or when the dialog failed.
  virtual std::optional<std::filesystem::path> ChooseSavePath(const std::string& suggestedName) = 0;
  // The per-user local application-data folder (created if missing), or nullopt when
  // unavailable.
  virtual std::optional<std::filesystem::path> LocalDataFolder() = 0;
  // Runs the operating system's drag of this file; true when it ended with a drop.
  virtual bool DragFile(const std::filesystem::path& file) = 0;
};

// The file-name part of a configuration's "output" (UTF-8): a drive prefix ("C:") and
// everything up to the last slash or backslash removed; "" when it ends in a slash.
std::string suggestedFileName(std::string_view output);

// localData/Veltmark/Tavrena/MIDI: where dragged files are written and left.
std::filesystem::path dragFolder(const std::filesystem::path& localData);

// A GUID's 16 bytes in the Windows GUID memory layout: Data1 (uint32) in bytes 0-3,
// Data2 and Data3 (uint16) in bytes 4-5 and 6-7, each least significant byte first;
// Data4 in bytes 8-15 as written. So {01234567-89AB-CDEF-0123-456789ABCDEF} is
// 67 45 23 01 AB 89 EF CD 01 23 45 67 89 AB CD EF.
using Guid = std::array<std::uint8_t, 16>;

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}": 38 characters, upper-case hex digits.
std::string formatRegistryGuid(const Guid& guid);

// A random version-4 GUID (layout as above).
Guid newGuid();

// "Solo-" + registry form + ".mid".
std::string dragFileName(const Guid& guid);

// Exports the state's selected variant as a Standard MIDI File where the user chooses.
// An invalid state raises its normalisation error before the dialog opens. False when
// the dialog was cancelled or the file could not be written; a file being replaced is
// left as it was unless the new one was written completely.
bool exportMidiFile(const Json& state, TransferPlatform& platform);

// Writes the state's selected variant to a new file in the drag folder and drags it.
// False when there is no local data folder, the file could not be written, or the
// drag ended without a drop; the written file stays either way. A drag folder that
// cannot be created raises std::filesystem::filesystem_error naming
// "create_directories"; an invalid state raises its normalisation error.
bool dragMidiFile(const Json& state, TransferPlatform& platform);

}  // namespace tavrena
