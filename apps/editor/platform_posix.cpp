// The editor host's few platform calls on POSIX systems.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <thread>

#include "loopback_services.h"

extern char** environ;

namespace tavrena::editor {

bool createExclusively(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

bool openInBrowser(const std::string& url) {
  const char* configured = std::getenv("BROWSER");
#ifdef __APPLE__
  std::string program = configured && *configured ? configured : "open";
#else
  std::string program = configured && *configured ? configured : "xdg-open";
#endif
  std::string argument = url;
  char* argv[] = {program.data(), argument.data(), nullptr};
  pid_t child = 0;
  if (posix_spawnp(&child, program.c_str(), nullptr, nullptr, argv, environ) != 0) return false;
  // Reaped in the background: the caller never waits for a browser to start.
  std::thread([child] {
    int status = 0;
    waitpid(child, &status, 0);
  }).detach();
  return true;
}

}  // namespace tavrena::editor
