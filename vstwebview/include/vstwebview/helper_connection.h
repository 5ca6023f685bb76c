#pragma once
// One end of the socket between the plug-in and its browser helper process (POSIX). Neither
// side may block: the plug-in runs on the host's user-interface thread, the helper on GTK's
// loop. Writes that the socket cannot take at once are queued and flushed when it can; a
// peer that went away is an error to report, never a SIGPIPE.
#include <string>
#include <vector>

#include "vstwebview/helper_protocol.h"

namespace vstwebview::helper {

class Connection {
 public:
  // Takes ownership of fd and makes it non-blocking.
  explicit Connection(int fd);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  int Fd() const { return fd_; }
  bool Open() const { return fd_ >= 0 && error_.empty(); }
  // Why the connection failed or closed; empty while it is open.
  const std::string& Error() const { return error_; }

  // Queues message and writes what the socket takes now. False once the connection failed
  // (the message is then dropped).
  bool Send(const Message& message);
  // Writes queued bytes the socket takes now. False once the connection failed.
  bool Flush();
  bool HasPendingWrites() const { return written_ < pending_.size(); }

  // Reads everything available now and appends the complete messages to out. False when the
  // peer closed, the socket failed or the stream is malformed (messages decoded before that
  // are still appended).
  bool Receive(std::vector<Message>& out);

  // Ends both directions (the peer sees end of file) and releases the descriptor.
  void Close();

 private:
  void fail(std::string why);

  int fd_;
  std::string pending_;
  std::size_t written_ = 0;
  FrameDecoder decoder_;
  std::string error_;
};

}  // namespace vstwebview::helper
