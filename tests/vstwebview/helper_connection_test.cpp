// One end of the plug-in/helper socket: nothing blocks, nothing is lost when the socket is
// full, and a peer that goes away is an error, never a signal.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "vstwebview/helper_connection.h"

namespace {

using namespace vstwebview::helper;

struct Pair {
  Pair() {
    int fds[2];
    EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
    a = std::make_unique<Connection>(fds[0]);
    b = std::make_unique<Connection>(fds[1]);
  }
  std::unique_ptr<Connection> a;
  std::unique_ptr<Connection> b;
};

TEST(HelperConnection, QueuesWhatAFullSocketCannotTakeAndDeliversItInOrder) {
  Pair pair;
  const std::string script(256 * 1024, 'x');
  for (std::uint32_t id = 0; id < 40; ++id) ASSERT_TRUE(pair.a->Send(Execute{id, script}));
  EXPECT_TRUE(pair.a->HasPendingWrites()) << "10 MiB cannot fit into a socket buffer";

  std::vector<Message> received;
  while (received.size() < 40) {
    ASSERT_TRUE(pair.b->Receive(received));
    ASSERT_TRUE(pair.a->Flush());
  }
  EXPECT_FALSE(pair.a->HasPendingWrites());
  for (std::uint32_t id = 0; id < 40; ++id) {
    EXPECT_EQ(received[id], Message(Execute{id, script}));
  }
}

TEST(HelperConnection, APeerThatLeftOrTalksNonsenseFailsTheConnection) {
  Pair pair;
  ASSERT_TRUE(pair.a->Send(Ready{}));
  pair.a.reset();  // closed
  std::vector<Message> received;
  EXPECT_FALSE(pair.b->Receive(received));
  ASSERT_EQ(received.size(), 1u) << "what came before the end is kept";
  EXPECT_EQ(pair.b->Error(), "the other side closed the connection");
  // Writing to the gone peer: an error, and this process is still here (no SIGPIPE).
  EXPECT_FALSE(pair.b->Send(Close{}));

  int fds[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
  Connection reader(fds[0]);
  const char garbage[] = "\x05\x00\x00\x00\xEEjunk";
  ASSERT_EQ(::write(fds[1], garbage, sizeof garbage - 1), static_cast<ssize_t>(sizeof garbage - 1));
  EXPECT_FALSE(reader.Receive(received));
  EXPECT_EQ(reader.Error(), "malformed message: unknown message type 238");
  EXPECT_FALSE(reader.Send(Ready{}));
  ::close(fds[1]);
}

}  // namespace
