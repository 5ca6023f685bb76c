#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <exception>

#include "vstwebview/helper_connection.h"

namespace vstwebview::helper {

namespace {

// Queued bytes already written are dropped from the front once they pass this size, so a
// long stream of small writes neither grows the buffer nor copies it for every frame.
constexpr std::size_t kCompactAt = 64 * 1024;

}  // namespace

Connection::Connection(int fd) : fd_(fd) {
  if (fd_ < 0) {
    error_ = "no socket";
    return;
  }
  const int flags = fcntl(fd_, F_GETFL);
  if (flags < 0 || fcntl(fd_, F_SETFL, flags | O_NONBLOCK) < 0) {
    fail(std::string("socket: ") + std::strerror(errno));
  }
}

Connection::~Connection() {
  Close();
}

void Connection::fail(std::string why) {
  if (error_.empty()) error_ = std::move(why);
}

bool Connection::Send(const Message& message) {
  if (!Open()) return false;
  try {
    pending_ += Encode(message);
  } catch (const std::exception& error) {
    // A message that cannot be framed is the sender's fault, not the connection's.
    fail(std::string("cannot send ") + std::string(MessageName(message)) + ": " + error.what());
    return false;
  }
  return Flush();
}

bool Connection::Flush() {
  if (!Open()) return false;
  while (written_ < pending_.size()) {
    // MSG_NOSIGNAL: a helper that died must not kill the host with SIGPIPE.
    const ssize_t n =
        ::send(fd_, pending_.data() + written_, pending_.size() - written_, MSG_NOSIGNAL);
    if (n > 0) {
      written_ += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    fail(std::string("write: ") + (n < 0 ? std::strerror(errno) : "nothing written"));
    return false;
  }
  if (written_ == pending_.size()) {
    pending_.clear();
    written_ = 0;
  } else if (written_ >= kCompactAt) {
    pending_.erase(0, written_);
    written_ = 0;
  }
  return true;
}

bool Connection::Receive(std::vector<Message>& out) {
  if (!Open()) return false;
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    if (n > 0) {
      decoder_.Feed(std::string_view(buffer, static_cast<std::size_t>(n)));
      while (auto message = decoder_.Next()) out.push_back(std::move(*message));
      if (decoder_.Failed()) {
        fail("malformed message: " + decoder_.Error());
        return false;
      }
      continue;
    }
    if (n == 0) {
      fail("the other side closed the connection");
      return false;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return true;
    fail(std::string("read: ") + std::strerror(errno));
    return false;
  }
}

void Connection::Close() {
  if (fd_ < 0) return;
  ::shutdown(fd_, SHUT_RDWR);
  ::close(fd_);
  fd_ = -1;
  fail("closed");
}

}  // namespace vstwebview::helper
