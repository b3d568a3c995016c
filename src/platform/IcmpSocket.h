// Sockets for ICMP echo requests (ping). A raw ICMP socket where the process
// may open one, else the unprivileged ICMP datagram socket; both take the same
// request bytes (the datagram socket's kernel puts its own identifier in).
//
// PingSocket is the seam: the ping works on whatever socket it is given, so
// tests hand it one that never answers instead of pinging an outside host.
#pragma once

#include <cstddef>
#include <cstdint>

class PingSocket {
 public:
  virtual ~PingSocket() = default;
  // Creates the socket; false when the system refuses (lastErrno says why).
  virtual bool open() = 0;
  // Sends one datagram to an IPv4 address (network byte order). False on failure.
  virtual bool send(uint32_t addressNetworkOrder, const uint8_t* bytes, size_t count) = 0;
  // Waits until a datagram can be read: 1 readable, 0 time-out, -1 the wait failed.
  virtual int waitReadable(int timeoutMs) = 0;
  // Receives one datagram: its size, or -1 on failure.
  virtual int receive(uint8_t* buffer, size_t size) = 0;
  virtual void close() = 0;
  virtual int lastErrno() const = 0;
};

class IcmpSocket : public PingSocket {
 public:
  ~IcmpSocket() override;
  bool open() override;
  bool send(uint32_t addressNetworkOrder, const uint8_t* bytes, size_t count) override;
  // Counts the time on the program clock (Clock_NowMs), like every other wait.
  int waitReadable(int timeoutMs) override;
  int receive(uint8_t* buffer, size_t size) override;
  void close() override;
  int lastErrno() const override { return errno_; }
  // True while the socket is the raw kind.
  bool raw() const { return raw_; }

 private:
  int fd_ = -1;
  bool raw_ = false;
  int errno_ = 0;
};
