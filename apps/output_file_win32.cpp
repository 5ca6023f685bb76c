// Windows half of output_file.h. Console control events (Ctrl+C, Ctrl+Break, the
// console closing) stand in for POSIX signals: their handler runs on a thread of
// its own, removes the registered temporaries and lets the default handler end
// the process.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cwchar>
#include <random>
#include <string>
#include <system_error>

#include "cli_common.h"
#include "output_file.h"

namespace tavrena::cli {

namespace {

namespace fs = std::filesystem;

constexpr int kMaxTemporaries = 8;
constexpr std::size_t kMaxPathChars = 32768;  // the longest \\?\ path
wchar_t gTemporaries[kMaxTemporaries][kMaxPathChars];
std::atomic<bool> gUsed[kMaxTemporaries];
// Held while the registry and the file system change together; the control
// handler takes it too, so it never sees a half-registered temporary.
CRITICAL_SECTION gRegistryLock;

BOOL WINAPI removeTemporaries(DWORD) {
  EnterCriticalSection(&gRegistryLock);
  for (int i = 0; i < kMaxTemporaries; ++i)
    if (gUsed[i].load()) DeleteFileW(gTemporaries[i]);
  // Leave the lock held: the process ends, and no temporary may appear meanwhile.
  return FALSE;  // the default handler ends the process
}

void installCleanupHandler() {
  static const bool installed = [] {
    InitializeCriticalSection(&gRegistryLock);
    SetConsoleCtrlHandler(removeTemporaries, TRUE);
    return true;
  }();
  (void)installed;
}

class RegistryHeld {
 public:
  RegistryHeld() { EnterCriticalSection(&gRegistryLock); }
  ~RegistryHeld() { LeaveCriticalSection(&gRegistryLock); }
  RegistryHeld(const RegistryHeld&) = delete;
  RegistryHeld& operator=(const RegistryHeld&) = delete;
};

[[noreturn]] void fail(const fs::path& target, DWORD error) {
  throw UsageError("cannot write '" + utf8FromPath(target) +
                   "': " + std::system_category().message(static_cast<int>(error)));
}

std::wstring uniqueSuffix() {
  static std::mt19937_64 random{std::random_device{}() ^
                                (static_cast<std::uint64_t>(GetCurrentProcessId()) << 32)};
  constexpr wchar_t kDigits[] = L"abcdefghijklmnopqrstuvwxyz0123456789";
  std::wstring suffix(10, L'0');
  for (wchar_t& c : suffix) c = kDigits[random() % (sizeof kDigits / sizeof kDigits[0] - 1)];
  return suffix;
}

bool writeAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), chunk, &written, nullptr)) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

}  // namespace

TargetInfo inspectTarget(const fs::path& path) {
  TargetInfo info;
  // No access rights asked: enough to learn the type and identity of files and
  // devices alike. FILE_FLAG_BACKUP_SEMANTICS lets folders open too.
  const HANDLE file =
      CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    // A missing folder is reported when the temporary cannot be created, as on POSIX.
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return info;
    fail(path, error);
  }
  const DWORD type = GetFileType(file);
  if (type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE) {
    info.kind = TargetKind::Stream;
  } else {
    BY_HANDLE_FILE_INFORMATION about{};
    if (!GetFileInformationByHandle(file, &about)) {
      const DWORD error = GetLastError();
      CloseHandle(file);
      fail(path, error);
    }
    info.identity = {
        true, about.dwVolumeSerialNumber,
        (static_cast<std::uint64_t>(about.nFileIndexHigh) << 32) | about.nFileIndexLow};
    if (about.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) {
      info.kind = TargetKind::Unsupported;
    } else {
      info.kind = TargetKind::Regular;
      info.readOnly = (about.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    }
  }
  CloseHandle(file);
  return info;
}

FileIdentity standardOutputIdentity() {
  // Devices and pipes have no file index; only a redirection to a file is known.
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  BY_HANDLE_FILE_INFORMATION about{};
  if (out == nullptr || out == INVALID_HANDLE_VALUE || GetFileType(out) != FILE_TYPE_DISK ||
      !GetFileInformationByHandle(out, &about))
    return {};
  return {true, about.dwVolumeSerialNumber,
          (static_cast<std::uint64_t>(about.nFileIndexHigh) << 32) | about.nFileIndexLow};
}

void writeToStream(const fs::path& path, std::string_view bytes) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) fail(path, GetLastError());
  const bool written = writeAll(file, bytes);
  const DWORD error = GetLastError();
  CloseHandle(file);
  if (!written) fail(path, error);
}

TempFile::TempFile(const fs::path& target)
    : target_(target), handle_(reinterpret_cast<std::intptr_t>(INVALID_HANDLE_VALUE)) {
  installCleanupHandler();
  // The replaced file's attributes (hidden, archive...) carry over; its access
  // rights come from the folder, as for any file created there.
  DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) attributes = FILE_ATTRIBUTE_NORMAL;
  attributes &= FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  if (attributes == 0) attributes = FILE_ATTRIBUTE_NORMAL;
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(L".");
  const std::wstring stem = L"." + target.filename().wstring() + L".";

  RegistryHeld held;
  for (slot_ = 0; slot_ < kMaxTemporaries && gUsed[slot_].load(); ++slot_) {
  }
  if (slot_ == kMaxTemporaries) {
    slot_ = -1;
    throw UsageError("too many outputs");
  }
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path candidate = folder / (stem + uniqueSuffix() + L".tmp");
    if (candidate.native().size() >= kMaxPathChars) {
      slot_ = -1;
      fail(target, ERROR_FILENAME_EXCED_RANGE);
    }
    // CREATE_NEW fails when the name exists: never another file's contents.
    const HANDLE file =
        CreateFileW(candidate.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      if (error == ERROR_FILE_EXISTS) continue;
      slot_ = -1;
      fail(target, error);
    }
    std::wmemcpy(gTemporaries[slot_], candidate.c_str(), candidate.native().size() + 1);
    gUsed[slot_].store(true);
    path_ = candidate;
    handle_ = reinterpret_cast<std::intptr_t>(file);
    return;
  }
  slot_ = -1;
  fail(target, ERROR_FILE_EXISTS);
}

TempFile::~TempFile() {
  release();
}

void TempFile::writeAndClose(std::string_view bytes) {
  const HANDLE file = reinterpret_cast<HANDLE>(handle_);
  handle_ = reinterpret_cast<std::intptr_t>(INVALID_HANDLE_VALUE);
  const bool written = writeAll(file, bytes);
  const DWORD error = GetLastError();
  if (!CloseHandle(file) && written) fail(target_, GetLastError());
  if (!written) fail(target_, error);
}

void TempFile::replaceTarget() {
  RegistryHeld held;
  std::error_code error;
  // Replaces an existing target, which std::rename does not do on Windows.
  fs::rename(path_, target_, error);
  if (error) throw UsageError("cannot write '" + utf8FromPath(target_) + "': " + error.message());
  gUsed[slot_].store(false);
  slot_ = -1;
}

void TempFile::release() noexcept {
  const HANDLE file = reinterpret_cast<HANDLE>(handle_);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  handle_ = reinterpret_cast<std::intptr_t>(INVALID_HANDLE_VALUE);
  if (slot_ < 0) return;
  RegistryHeld held;
  DeleteFileW(path_.c_str());
  gUsed[slot_].store(false);
  slot_ = -1;
}

}  // namespace tavrena::cli
