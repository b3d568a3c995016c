#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/Tcp.h"
#include "support/TestEnvironment.h"

namespace {

uint32_t loopback() { return htonl(INADDR_LOOPBACK); }

// Reads until count bytes arrived, the peer closed, or a second passed.
std::string readUpTo(TcpSocket& s, size_t count, bool* closed = nullptr) {
  std::string got;
  const auto start = std::chrono::steady_clock::now();
  while (got.size() < count && ElapsedMs(start) < 1000) {
    if (s.waitReadable(100) <= 0) continue;
    char buf[4096];
    const int n = s.readAvailable(buf, sizeof buf < count - got.size() ? sizeof buf : count - got.size());
    if (n == TcpSocket::kPeerClosed) {
      if (closed) *closed = true;
      break;
    }
    if (n < 0) break;
    got.append(buf, size_t(n));
  }
  return got;
}

// A client connected to a loopback listener, with the server's end.
struct Connection {
  Connection() {
    EXPECT_TRUE(listener.listenLoopback()) << listener.lastError();
    EXPECT_NE(listener.port(), 0);
    EXPECT_TRUE(client.connect(loopback(), listener.port(), 1000)) << client.lastError();
    server = listener.accept(1000);
    EXPECT_TRUE(server.isOpen()) << listener.lastError();
  }
  TcpListener listener;
  TcpSocket client;
  TcpSocket server;
};

}  // namespace

TEST(TcpResolve, DottedAddressesLookUpsAndReservedNames) {
  uint32_t a = 0;
  std::string error;
  ASSERT_TRUE(Tcp_ResolveIPv4("127.0.0.1", &a, &error)) << error;
  EXPECT_EQ(a, loopback());
  ASSERT_TRUE(Tcp_ResolveIPv4("192.168.10.20", &a, &error)) << error;
  EXPECT_EQ(Tcp_AddressText(a), "192.168.10.20");
  ASSERT_TRUE(Tcp_ResolveIPv4("localhost", &a, &error)) << error;
  EXPECT_EQ(Tcp_AddressText(a), "127.0.0.1");

  for (const char* name : {"kvx-master.invalid", "Master.INVALID.", "invalid"}) {
    a = 0;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Tcp_ResolveIPv4(name, &a, &error)) << name;
    EXPECT_NE(error.find(name), std::string::npos) << error;
    EXPECT_LT(ElapsedMs(start), 100) << "no resolver is asked";
  }
  EXPECT_FALSE(Tcp_ResolveIPv4("", &a, &error));
  EXPECT_FALSE(Tcp_ResolveIPv4(std::string("127.0.0.1\0x", 11), &a, &error));
}

TEST(TcpConnection, BytesTravelBothWaysAndLargeSendsComplete) {
  Connection c;
  EXPECT_TRUE(c.client.setNoDelay());
  const std::string frame("\x80\x00\x00\x01\x01\x00", 6);
  ASSERT_TRUE(c.client.sendAll(frame.data(), frame.size()));
  EXPECT_EQ(readUpTo(c.server, frame.size()), frame);
  ASSERT_TRUE(c.server.sendAll("\x00\x00\x06\x85\x02\xAA\x55", 7));
  EXPECT_EQ(readUpTo(c.client, 7), std::string("\x00\x00\x06\x85\x02\xAA\x55", 7));

  // More than the socket buffers hold: sendAll waits for the reader.
  const std::string big(4 << 20, 'k');
  std::string received;
  std::thread reader([&] {
    const auto start = std::chrono::steady_clock::now();
    while (received.size() < big.size() && ElapsedMs(start) < 20000) {
      if (c.server.waitReadable(100) <= 0) continue;
      char buf[65536];
      const int n = c.server.readAvailable(buf, sizeof buf);
      if (n <= 0) break;
      received.append(buf, size_t(n));
    }
  });
  EXPECT_TRUE(c.client.sendAll(big.data(), big.size(), 20000)) << c.client.lastError();
  reader.join();
  EXPECT_EQ(received.size(), big.size());
}

TEST(TcpConnection, SilentPeerTimesOutAndPeerCloseIsSeenAfterItsLastBytes) {
  Connection c;
  char buf[4];
  EXPECT_EQ(c.client.readAvailable(buf, sizeof buf), 0) << "nothing pending, no waiting";
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(c.client.waitReadable(5), 0) << "a silent peer";
  EXPECT_LT(ElapsedMs(start), 300);

  ASSERT_TRUE(c.server.sendAll("bye", 3));
  c.server.close();
  bool closed = false;
  EXPECT_EQ(readUpTo(c.client, 100, &closed), "bye");
  EXPECT_TRUE(closed);
  EXPECT_EQ(c.client.waitReadable(1000), 1);
  EXPECT_EQ(c.client.readAvailable(buf, sizeof buf), TcpSocket::kPeerClosed);
}

TEST(TcpConnection, SendingToAClosedPeerFailsWithoutSignal) {
  Connection c;
  c.server.close();
  bool failed = false;
  for (int i = 0; i < 200 && !failed; ++i) {
    failed = !c.client.sendAll("ping", 4, 1000);
    if (!failed) c.client.waitReadable(1);
  }
  ASSERT_TRUE(failed) << "the reset peer must make a send fail";
  EXPECT_TRUE(c.client.lastErrno() == EPIPE || c.client.lastErrno() == ECONNRESET)
      << c.client.lastError();
}

TEST(TcpConnection, RefusedConnectGivesErrnoAndClosesTheSocket) {
  TcpListener gone;
  ASSERT_TRUE(gone.listenLoopback());
  const uint16_t port = gone.port();
  gone.close();
  TcpSocket s;
  EXPECT_FALSE(s.connect(loopback(), port, 1000));
  EXPECT_EQ(s.lastErrno(), ECONNREFUSED);
  EXPECT_FALSE(s.lastError().empty());
  EXPECT_FALSE(s.isOpen());
  char buf[4];
  EXPECT_EQ(s.readAvailable(buf, sizeof buf), -1);
  EXPECT_FALSE(s.sendAll("x", 1));
  EXPECT_EQ(s.lastErrno(), EBADF);
}

TEST(TcpListen, AcceptWithoutAClientTimesOut) {
  TcpListener listener;
  ASSERT_TRUE(listener.listenLoopback());
  const auto start = std::chrono::steady_clock::now();
  TcpSocket none = listener.accept(3);
  EXPECT_FALSE(none.isOpen());
  EXPECT_EQ(listener.lastErrno(), ETIMEDOUT);
  EXPECT_LT(ElapsedMs(start), 300);
}

TEST(TcpConnection, ConnectGivesUpAfterItsTimeOut) {
  // A listener whose accept queue is full drops further connection requests.
  TcpListener full;
  ASSERT_TRUE(full.listenLoopback(0, 0));
  std::vector<TcpSocket> queued;
  bool timedOut = false;
  for (int i = 0; i < 4 && !timedOut; ++i) {
    TcpSocket s;
    const auto start = std::chrono::steady_clock::now();
    if (!s.connect(loopback(), full.port(), 5)) {
      EXPECT_EQ(s.lastErrno(), ETIMEDOUT) << s.lastError();
      EXPECT_LT(ElapsedMs(start), 300);
      EXPECT_FALSE(s.isOpen());
      timedOut = true;
    }
    queued.push_back(std::move(s));
  }
  EXPECT_TRUE(timedOut);
}
