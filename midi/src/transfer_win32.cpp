#include "midi/transfer_win32.h"

#include <windows.h>
// The rest of the system headers need windows.h first.

#include <commdlg.h>
#include <knownfolders.h>
#include <ole2.h>
#include <shlobj.h>

#include <algorithm>
#include <climits>

#include "midi/file_data_win32.h"

namespace tavrena {
namespace {

// Units of the dialog's file-name buffer, the terminating zero included: room for the
// longest path Windows accepts.
constexpr std::size_t kFileNameUnits = 32768;

constexpr wchar_t kFilter[] = L"MIDI (*.mid)\0*.mid\0";
constexpr DWORD kSaveOptions = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
static_assert(kSaveOptions == 0x80A);

bool isHighSurrogate(wchar_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}

}  // namespace

std::wstring utf8ToUtf16(std::string_view text) {
  if (text.empty() || text.size() > INT_MAX) return {};
  const int size = static_cast<int>(text.size());
  const int units = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  if (units <= 0) return {};
  std::wstring result(static_cast<std::size_t>(units), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), size, result.data(), units);
  return result;
}

std::string utf16ToUtf8(std::wstring_view text) {
  if (text.empty() || text.size() > INT_MAX) return {};
  const int size = static_cast<int>(text.size());
  const int bytes =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return {};
  std::string result(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), size, result.data(), bytes, nullptr, nullptr);
  return result;
}

std::vector<wchar_t> saveDialogBuffer(const std::string& suggestedName) {
  std::vector<wchar_t> buffer(kFileNameUnits, L'\0');
  const std::wstring name = utf8ToUtf16(suggestedName);
  std::size_t length = std::min(name.size(), kFileNameUnits - 1);
  // Half a character would show as garbage in the dialog's name field.
  if (length < name.size() && length > 0 && isHighSurrogate(name[length - 1])) --length;
  std::copy_n(name.begin(), length, buffer.begin());
  return buffer;
}

std::optional<std::filesystem::path> Win32Transfer::ChooseSavePath(
    const std::string& suggestedName) {
  std::vector<wchar_t> fileName = saveDialogBuffer(suggestedName);
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = nullptr;
  dialog.lpstrFilter = kFilter;
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = fileName.data();
  dialog.nMaxFile = static_cast<DWORD>(fileName.size());
  dialog.lpstrDefExt = L"mid";
  dialog.Flags = kSaveOptions;
  if (!GetSaveFileNameW(&dialog)) return std::nullopt;
  // The system writes a terminated path; the last unit stays a zero all the same.
  fileName.back() = L'\0';
  const std::wstring chosen(fileName.data());
  if (chosen.empty()) return std::nullopt;
  return std::filesystem::path(chosen);
}

std::optional<std::filesystem::path> Win32Transfer::LocalDataFolder() {
  PWSTR folder = nullptr;
  const HRESULT result =
      SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, &folder);
  std::optional<std::filesystem::path> path;
  if (SUCCEEDED(result) && folder != nullptr && *folder != L'\0')
    path = std::filesystem::path(folder);
  // Freed on failure too: the shell may have allocated it either way.
  CoTaskMemFree(folder);
  return path;
}

bool Win32Transfer::DragFile(const std::filesystem::path& file) {
  std::filesystem::path native = file;
  native.make_preferred();  // drop targets expect backslashes
  // Made before OLE starts, so that running out of memory leaves nothing to undo.
  auto* data = new FileData(native.wstring());
  // Counted per call: S_FALSE (already initialised on this thread) is undone as well.
  if (FAILED(OleInitialize(nullptr))) {
    data->Release();
    return false;
  }
  DWORD effect = DROPEFFECT_NONE;
  const HRESULT result = DoDragDrop(data, data, DROPEFFECT_COPY, &effect);
  data->Release();
  OleUninitialize();
  // A drop that no target took (no effect) is no drop: the file went nowhere.
  return result == DRAGDROP_S_DROP && (effect & DROPEFFECT_COPY) != 0;
}

}  // namespace tavrena
