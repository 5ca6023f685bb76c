// POSIX half of output_file.h.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <random>
#include <string>

#include "cli_common.h"
#include "output_file.h"

namespace tavrena::cli {

namespace {

namespace fs = std::filesystem;

// Temporaries to remove when a signal ends the tool. The handler may only read
// these fixed arrays and call unlink(), so paths are copied in before a slot is
// marked used, with the signals blocked meanwhile.
constexpr int kMaxTemporaries = 8;
constexpr std::size_t kMaxPathBytes = 4096;
char gTemporaries[kMaxTemporaries][kMaxPathBytes];
volatile std::sig_atomic_t gUsed[kMaxTemporaries];
constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

extern "C" void removeTemporariesAndReraise(int signal) {
  for (int i = 0; i < kMaxTemporaries; ++i)
    if (gUsed[i]) unlink(gTemporaries[i]);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

void installCleanupHandlers() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  for (int signal : kCleanupSignals) {
    struct sigaction current {};
    if (sigaction(signal, nullptr, &current) != 0) continue;
    // Signals ignored by whoever started us (nohup) stay ignored.
    if (current.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = removeTemporariesAndReraise;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
  }
}

// Holds the cleanup signals back while the registry and the file system change
// together, so a signal never sees a file that is not registered or vice versa.
class SignalsHeld {
 public:
  SignalsHeld() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : kCleanupSignals) sigaddset(&set, signal);
    sigprocmask(SIG_BLOCK, &set, &previous_);
  }
  ~SignalsHeld() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t previous_;
};

[[noreturn]] void fail(const std::string& what, const fs::path& target, int error) {
  throw UsageError(what + " '" + target.string() + "': " + std::strerror(error));
}

std::string uniqueSuffix() {
  static std::mt19937_64 random{std::random_device{}() ^
                                (static_cast<std::uint64_t>(getpid()) << 32)};
  constexpr char kDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string suffix(10, '0');
  for (char& c : suffix) c = kDigits[random() % (sizeof kDigits - 1)];
  return suffix;
}

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

}  // namespace

TargetInfo inspectTarget(const fs::path& path) {
  struct stat st {};
  TargetInfo info;
  if (stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT) return info;
    fail("cannot write", path, errno);
  }
  info.identity = {true, static_cast<std::uint64_t>(st.st_dev),
                   static_cast<std::uint64_t>(st.st_ino)};
  if (S_ISREG(st.st_mode)) {
    info.kind = TargetKind::Regular;
    // Permission bits, not access(): root may write anything, yet a file its owner
    // made read-only should not be replaced behind the owner's back.
    info.readOnly =
        (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || access(path.c_str(), W_OK) != 0;
  } else if (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode)) {
    info.kind = TargetKind::Stream;
  } else {
    info.kind = TargetKind::Unsupported;
  }
  return info;
}

FileIdentity standardOutputIdentity() {
  struct stat st {};
  if (fstat(STDOUT_FILENO, &st) != 0) return {};
  return {true, static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

void writeToStream(const fs::path& path, std::string_view bytes) {
  // No O_CREAT: the device or pipe was there when the outputs were checked.
  const int fd = open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) fail("cannot write", path, errno);
  const bool written = writeAll(fd, bytes);
  const int error = errno;
  if (close(fd) != 0 && written) fail("cannot write", path, errno);
  if (!written) fail("cannot write", path, error);
}

TempFile::TempFile(const fs::path& target) : target_(target), handle_(-1) {
  installCleanupHandlers();
  struct stat existing {};
  const bool replacing = stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  // Appended piecewise: GCC 12 warns falsely (-Wrestrict) on "." + std::string.
  std::string stem = target.filename().string();
  stem.insert(stem.begin(), '.');
  stem += '.';

  SignalsHeld held;
  for (slot_ = 0; slot_ < kMaxTemporaries && gUsed[slot_]; ++slot_) {
  }
  if (slot_ == kMaxTemporaries) {
    slot_ = -1;
    throw UsageError("too many outputs");
  }
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path candidate = folder / (stem + uniqueSuffix() + ".tmp");
    if (candidate.native().size() >= kMaxPathBytes) {
      slot_ = -1;
      fail("cannot write", target, ENAMETOOLONG);
    }
    // 0666 before the umask, as for any new file.
    const int fd = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      const int error = errno;
      slot_ = -1;
      fail("cannot write", target, error);
    }
    std::memcpy(gTemporaries[slot_], candidate.c_str(), candidate.native().size() + 1);
    gUsed[slot_] = 1;
    path_ = candidate;
    handle_ = fd;
    break;
  }
  if (handle_ < 0) {
    slot_ = -1;
    fail("cannot write", target, EEXIST);
  }
  if (replacing) {
    // Keep the replaced file's permissions (not set-id bits) and, where we may, its owner.
    if (fchmod(static_cast<int>(handle_), existing.st_mode & 0777) != 0) {
      const int error = errno;
      release();
      fail("cannot write", target, error);
    }
    if (existing.st_uid != geteuid() || existing.st_gid != getegid()) {
      [[maybe_unused]] const int ignored =
          fchown(static_cast<int>(handle_), existing.st_uid, existing.st_gid);
    }
  }
}

TempFile::~TempFile() {
  release();
}

void TempFile::writeAndClose(std::string_view bytes) {
  const int fd = static_cast<int>(handle_);
  handle_ = -1;
  const bool written = writeAll(fd, bytes);
  const int error = errno;
  if (close(fd) != 0 && written) fail("cannot write", target_, errno);
  if (!written) fail("cannot write", target_, error);
}

void TempFile::replaceTarget() {
  SignalsHeld held;
  std::error_code error;
  fs::rename(path_, target_, error);
  if (error) throw UsageError("cannot write '" + target_.string() + "': " + error.message());
  gUsed[slot_] = 0;
  slot_ = -1;
}

void TempFile::release() noexcept {
  if (handle_ >= 0) close(static_cast<int>(handle_));
  handle_ = -1;
  if (slot_ < 0) return;
  SignalsHeld held;
  unlink(path_.c_str());
  gUsed[slot_] = 0;
  slot_ = -1;
}

}  // namespace tavrena::cli
