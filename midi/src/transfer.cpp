// Export and drag of the selected solo as a Standard MIDI File; the dialog, the
// known folder and the drag itself are the host's (TransferPlatform).
#include "midi/transfer.h"

#include <fstream>
#include <random>
#include <system_error>
#include <vector>

#include "midi/smf_writer.h"
#include "state/state.h"

namespace tavrena {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr char kHexDigits[] = "0123456789ABCDEF";

// Registry form prints Data1, Data2 and Data3 as numbers: most significant byte first.
constexpr std::array<std::size_t, 16> kRegistryByteOrder = {3, 2, 1,  0,  5,  4,  7,  6,
                                                            8, 9, 10, 11, 12, 13, 14, 15};

bool isAsciiLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool writeWhole(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  return !out.fail();
}

// A fresh random name, not one derived from the target's: a long target name must
// not push the temporary past the file-name limit.
fs::path temporaryBeside(const fs::path& target) {
  const Guid random = newGuid();
  std::string name = ".tavrena-";
  for (std::size_t i = 0; i < 8; ++i) {
    name += kHexDigits[random[i] >> 4];
    name += kHexDigits[random[i] & 0x0F];
  }
  name += ".tmp";
  return target.parent_path() / name;
}

// Writes the bytes to a temporary beside the target and renames it over the target,
// so a write that fails half-way neither leaves a truncated file nor destroys the file
// being replaced. I/O failures give false, never an exception.
bool replaceFile(const fs::path& chosen, const Bytes& bytes) {
  std::error_code error;
  fs::path target = chosen;
  // Writing through a link is what the user asked for; renaming over it would replace
  // the link itself.
  if (fs::is_symlink(target, error)) {
    target = fs::canonical(target, error);
    if (error) return false;
  }
  const fs::file_status existing = fs::status(target, error);
  if (existing.type() == fs::file_type::none) return false;
  const bool replacing = fs::exists(existing);
  if (replacing) {
    // A folder or a device is never replaced by a file.
    if (!fs::is_regular_file(existing)) return false;
    // Renaming would also replace a read-only file, which the user could not have
    // overwritten in place.
    constexpr fs::perms kAnyWrite =
        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    if ((existing.permissions() & kAnyWrite) == fs::perms::none) return false;
  }

  const fs::path temporary = temporaryBeside(target);
  bool written = writeWhole(temporary, bytes);
  if (written && replacing) {
    // Best effort: the new file keeps the permissions of the one it replaces.
    fs::permissions(temporary, existing.permissions(), error);
  }
  if (written) {
    fs::rename(temporary, target, error);
    written = !error;
  }
  if (!written) fs::remove(temporary, error);
  return written;
}

}  // namespace

std::string suggestedFileName(std::string_view output) {
  // "C:take1.mid" names a file in that drive's current folder: no slash to cut at.
  if (output.size() >= 2 && output[1] == ':' && isAsciiLetter(output[0])) output.remove_prefix(2);
  // Both separators are ASCII, which never occurs inside a multi-byte UTF-8 sequence.
  const std::size_t separator = output.find_last_of("/\\");
  if (separator != std::string_view::npos) output.remove_prefix(separator + 1);
  return std::string(output);
}

fs::path dragFolder(const fs::path& localData) {
  return localData / "Veltmark" / "Tavrena" / "MIDI";
}

std::string formatRegistryGuid(const Guid& guid) {
  std::string text = "{";
  for (std::size_t i = 0; i < kRegistryByteOrder.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
    const std::uint8_t byte = guid[kRegistryByteOrder[i]];
    text += kHexDigits[byte >> 4];
    text += kHexDigits[byte & 0x0F];
  }
  text += '}';
  return text;
}

Guid newGuid() {
  std::random_device device;
  Guid guid{};
  for (std::size_t i = 0; i < guid.size(); i += 4) {
    // random_device yields at least 32 random bits per call.
    const auto word = static_cast<std::uint32_t>(device());
    for (std::size_t k = 0; k < 4; ++k) guid[i + k] = static_cast<std::uint8_t>(word >> (8 * k));
  }
  guid[7] = static_cast<std::uint8_t>((guid[7] & 0x0F) | 0x40);  // version 4: top nibble of Data3
  guid[8] = static_cast<std::uint8_t>((guid[8] & 0x3F) | 0x80);  // variant 10xx
  return guid;
}

std::string dragFileName(const Guid& guid) {
  return "Solo-" + formatRegistryGuid(guid) + ".mid";
}

bool exportMidiFile(const Json& state, TransferPlatform& platform) {
  // The whole state is checked before the dialog, so the user is never asked for a
  // file name that then cannot be written for a reason known all along.
  const NormalisedState normalised = normalizeStateWithConfig(state);
  const std::optional<fs::path> target =
      platform.ChooseSavePath(suggestedFileName(normalised.config.at("output").get<std::string>()));
  if (!target) return false;
  return replaceFile(*target, writeStandardMidiFile(state));
}

bool dragMidiFile(const Json& state, TransferPlatform& platform) {
  const std::optional<fs::path> localData = platform.LocalDataFolder();
  if (!localData) return false;
  const fs::path folder = dragFolder(*localData);
  std::error_code error;
  fs::create_directories(folder, error);
  // Thrown here rather than by the throwing overload: not every standard library
  // names the operation in its message.
  if (error) throw fs::filesystem_error("create_directories", folder, error);
  const fs::path file = folder / dragFileName(newGuid());
  if (!replaceFile(file, writeStandardMidiFile(state))) return false;
  // The file stays after the drag: the drop target reads it when it likes.
  return platform.DragFile(file);
}

}  // namespace tavrena
