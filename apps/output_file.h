#pragma once
// The few file operations that differ between POSIX and Windows, for writing the
// tool's outputs safely: what a path names, an exclusively created temporary
// beside its target, writing to a device or pipe, and removing temporaries when
// the tool is interrupted. output_file_posix.cpp and output_file_win32.cpp
// implement it; everything else about outputs is portable (output_set.cpp).
#include <cstdint>
#include <filesystem>
#include <string_view>

namespace tavrena::cli {

enum class TargetKind {
  Missing,     // nothing there yet: a new regular file is created
  Regular,     // an existing regular file, replaced as a whole
  Stream,      // a character device or a pipe: written to directly
  Unsupported  // a folder, socket, block device...: never written
};

// Which file a path names, so that two names of one file (hard links) are seen as one.
struct FileIdentity {
  bool known = false;
  std::uint64_t device = 0;
  std::uint64_t file = 0;
  bool operator==(const FileIdentity&) const = default;
};

struct TargetInfo {
  TargetKind kind = TargetKind::Missing;
  bool readOnly = false;  // Regular only: it has no write permission for anyone
  FileIdentity identity;  // known for existing files
};

// path: already resolved through symbolic links. Throws UsageError when the path
// cannot be examined (other than not existing).
TargetInfo inspectTarget(const std::filesystem::path& path);

// Which file standard output is (known when it is a file, or a device or pipe on
// POSIX), so that "-o -" and a file it was redirected to are seen as one.
FileIdentity standardOutputIdentity();

// Writes bytes to a device or pipe that already exists. Throws UsageError.
void writeToStream(const std::filesystem::path& path, std::string_view bytes);

// A temporary file created exclusively, under a unique name, in the folder of the
// file it will replace, with that file's permissions (and, where allowed, owner).
// Until it is renamed over its target or destroyed, the tool's cleanup on SIGINT,
// SIGTERM, SIGHUP and SIGPIPE (console control events on Windows) removes it.
class TempFile {
 public:
  // Throws UsageError naming `target` when the file cannot be created.
  explicit TempFile(const std::filesystem::path& target);
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile();  // removes the file unless it was renamed

  // Writes all bytes and closes the file. Throws UsageError naming the target.
  void writeAndClose(std::string_view bytes);
  // Renames the temporary over its target. Throws UsageError naming the target.
  void replaceTarget();

 private:
  void release() noexcept;

  std::filesystem::path target_;
  std::filesystem::path path_;
  std::intptr_t handle_;  // file descriptor or HANDLE; -1 once closed
  int slot_ = -1;         // index in the cleanup registry
};

}  // namespace tavrena::cli
