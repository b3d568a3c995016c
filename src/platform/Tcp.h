// TCP client and listener over BSD sockets, IPv4, waiting with poll().
//
// Sockets are non-blocking once connected; waits are explicit (connect,
// sendAll, waitReadable, accept) and reads never block. Failures keep the errno
// of the failing call (lastErrno) and a text (lastError); nothing is printed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Resolves a host name to an IPv4 address in network byte order: a dotted
// address as it is, else the first IPv4 address of a look-up. Names under the
// reserved ".invalid" domain fail at once without asking any resolver. On
// failure returns false and, when error is given, a text.
bool Tcp_ResolveIPv4(const std::string& host, uint32_t* addressNetworkOrder, std::string* error);

// "a.b.c.d" of an address in network byte order.
std::string Tcp_AddressText(uint32_t addressNetworkOrder);

class TcpSocket {
 public:
  // readAvailable() result when the peer has closed the connection.
  static constexpr int kPeerClosed = -2;

  TcpSocket() = default;
  // Takes over a connected socket (as accept() gives).
  explicit TcpSocket(int fd);
  ~TcpSocket();
  TcpSocket(const TcpSocket&) = delete;
  TcpSocket& operator=(const TcpSocket&) = delete;
  TcpSocket(TcpSocket&& other) noexcept;
  TcpSocket& operator=(TcpSocket&& other) noexcept;

  // Creates the stream socket (an open one is closed first).
  bool create();
  // Connects the created socket (creating it when needed). timeoutMs < 0 waits
  // for the system's own connect time-out; otherwise a connection not made in
  // time fails with ETIMEDOUT. A failed connect closes the socket.
  bool connect(uint32_t addressNetworkOrder, uint16_t port, int timeoutMs);
  // Disables (or enables) the send delay of small segments.
  bool setNoDelay(bool on = true);

  // Sends every byte, waiting for room in the send buffer up to timeoutMs in
  // total (< 0 = no limit). Never raises SIGPIPE: a closed peer is EPIPE.
  bool sendAll(const void* data, size_t length, int timeoutMs = -1);
  // 1 = data or end of stream pending, 0 = nothing within timeoutMs, -1 = error.
  int waitReadable(int timeoutMs);
  // Reads what has arrived, without waiting: bytes read (> 0), 0 when nothing
  // is pending, kPeerClosed when the peer closed, -1 on error.
  int readAvailable(void* buffer, size_t maxBytes);
  // The socket's pending error (SO_ERROR), 0 when none.
  int pendingError() const;

  void close();

  bool isOpen() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  int lastErrno() const { return lastErrno_; }
  const std::string& lastError() const { return lastError_; }

 private:
  bool fail(int err, const char* what);

  int fd_ = -1;
  int lastErrno_ = 0;
  std::string lastError_;
};

// A listening socket on the loopback address, for tests and local servers.
class TcpListener {
 public:
  TcpListener() = default;
  ~TcpListener();
  TcpListener(const TcpListener&) = delete;
  TcpListener& operator=(const TcpListener&) = delete;

  // Listens on 127.0.0.1:port; port 0 takes a free port (see port()).
  bool listenLoopback(uint16_t port = 0, int backlog = 8);
  uint16_t port() const { return port_; }
  // Waits up to timeoutMs (< 0 = no limit) for a connection; the returned
  // socket is closed when none came or accepting failed (see lastError).
  TcpSocket accept(int timeoutMs);
  void close();

  bool isOpen() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  int lastErrno() const { return lastErrno_; }
  const std::string& lastError() const { return lastError_; }

 private:
  bool fail(int err, const char* what);

  int fd_ = -1;
  uint16_t port_ = 0;
  int lastErrno_ = 0;
  std::string lastError_;
};
