// A bare TCP client for the simulator tests: sends bytes as given and reads
// with poll() and short time-outs, so that the tests see exactly what is on
// the wire.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "master/WireFormat.h"

class RawClient {
 public:
  RawClient() = default;
  explicit RawClient(int port) { connect(port); }
  ~RawClient() { close(); }
  RawClient(const RawClient&) = delete;
  RawClient& operator=(const RawClient&) = delete;

  bool connect(int port) {
    close();
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(port));
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
      close();
      return false;
    }
    int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return true;
  }

  void close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    decoder_.reset();
  }

  bool send(const std::vector<uint8_t>& bytes) {
    return fd_ >= 0 && ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == ssize_t(bytes.size());
  }
  bool sendFrame(uint32_t id, uint8_t bus, std::initializer_list<uint8_t> data) {
    return send(EncodeHostFrame(SimFrame(id, bus, data)));
  }

  // Reads whatever arrives within timeoutMs, stopping as soon as `want` bytes are in.
  std::vector<uint8_t> readBytes(size_t want, int timeoutMs) {
    std::vector<uint8_t> got;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (got.size() < want && fd_ >= 0) {
      int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count());
      if (left < 0) break;
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, left) <= 0) break;
      uint8_t buf[4096];
      ssize_t n = ::recv(fd_, buf, std::min(sizeof buf, want - got.size()), 0);
      if (n <= 0) {
        closedByPeer_ = true;
        break;
      }
      got.insert(got.end(), buf, buf + n);
    }
    return got;
  }

  // One recv() after data became readable: what one segment (or more) brought.
  std::vector<uint8_t> readOnce(int timeoutMs) {
    std::vector<uint8_t> got;
    pollfd p{fd_, POLLIN, 0};
    if (fd_ < 0 || ::poll(&p, 1, timeoutMs) <= 0) return got;
    uint8_t buf[4096];
    ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
    if (n <= 0) closedByPeer_ = true;
    else got.assign(buf, buf + n);
    return got;
  }

  // Decodes master frames until `count` are in or timeoutMs passes.
  std::vector<DecodedFrame> readFrames(size_t count, int timeoutMs) {
    std::vector<DecodedFrame> frames;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (frames.size() < count && fd_ >= 0) {
      int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count());
      if (left < 0) break;
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, left) <= 0) break;
      uint8_t buf[1];  // byte by byte: never read past the frames asked for
      ssize_t n = ::recv(fd_, buf, 1, 0);
      if (n <= 0) {
        closedByPeer_ = true;
        break;
      }
      decoder_.feed(buf, 1, [&](const DecodedFrame& d) { frames.push_back(d); });
    }
    return frames;
  }

  // True when the peer closes the connection within timeoutMs (data before the close is dropped).
  bool waitClosed(int timeoutMs) {
    if (closedByPeer_) return true;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (fd_ >= 0) {
      int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count());
      if (left < 0) return false;
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, left) <= 0) return false;
      uint8_t buf[256];
      ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
      if (n <= 0) return closedByPeer_ = true;
    }
    return false;
  }

  int fd() const { return fd_; }

 private:
  int fd_ = -1;
  bool closedByPeer_ = false;
  MasterStreamDecoder decoder_;
};
