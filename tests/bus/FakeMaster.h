// A bus master for link tests with exact control over the bytes: it listens on
// an ephemeral loopback port, answers the control queries as configured and
// lets the test write any bytes to the client.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include <sys/socket.h>

#include "platform/Poll.h"
#include "platform/Tcp.h"

using Bytes = std::vector<uint8_t>;

// A frame as the master sends it: time stamp, identifier, bus/length byte, data.
inline Bytes MasterFrame(uint32_t id, int bus, const Bytes& data, uint32_t stamp = 1234,
                         int lengthNibble = -1) {
  const int nibble = lengthNibble < 0 ? int(data.size()) : lengthNibble;
  Bytes out = {uint8_t(stamp >> 24), uint8_t(stamp >> 16), uint8_t(stamp >> 8), uint8_t(stamp),
               uint8_t(id >> 24),    uint8_t(id >> 16),    uint8_t(id >> 8),    uint8_t(id),
               uint8_t(bus << 4 | nibble)};
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

inline Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class FakeMaster {
 public:
  // A frame the program sent (5 + n bytes on the wire).
  struct ClientFrame {
    uint32_t id;
    int bus;
    Bytes data;
  };

  // Replies for control queries; an empty optional-like -1 stays silent.
  int busCount = 1;                // answer to 0x80000001; -1 = no answer
  std::vector<int> baudCodes;      // answers to 0x80000002 per bus; missing = no answer
  int runState = 0;                // answer to 0x80000004; -1 = no answer
  Bytes beforeRunStateReply;       // written just before the run-state answer

  FakeMaster() = default;
  ~FakeMaster() { stop(); }

  bool start() {
    if (!listener_.listenLoopback(0)) return false;
    running_ = true;
    thread_ = std::thread([this] { run(); });
    return true;
  }

  void stop() {
    running_ = false;
    if (thread_.joinable()) thread_.join();
    std::lock_guard<std::mutex> lock(mutex_);
    client_.close();
    listener_.close();
  }

  uint16_t port() const { return listener_.port(); }

  bool waitConnected(int timeoutMs = 2000) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [this] { return client_.isOpen(); });
  }

  // Everything the client sent so far, and the frames decoded from it.
  Bytes received() {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
  }
  std::vector<ClientFrame> frames() {
    std::lock_guard<std::mutex> lock(mutex_);
    return frames_;
  }
  bool waitFrames(size_t count, int timeoutMs = 2000) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return frames_.size() >= count; });
  }
  void clearReceived() {
    std::lock_guard<std::mutex> lock(mutex_);
    received_.clear();
    frames_.clear();
    parsed_ = 0;
  }

  // Writes bytes to the client as one segment.
  bool send(const Bytes& bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    return client_.sendAll(bytes.data(), bytes.size(), 1000);
  }

  // Ends the connection at once (the server thread may be polling the socket,
  // which would delay a plain close).
  void closeClient() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (client_.isOpen()) ::shutdown(client_.fd(), SHUT_RDWR);
    client_.close();
  }

 private:
  void run() {
    while (running_) {
      int fd;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        fd = client_.fd();
      }
      if (fd < 0) {
        TcpSocket accepted = listener_.accept(10);
        if (!accepted.isOpen()) continue;
        accepted.setNoDelay(true);
        std::lock_guard<std::mutex> lock(mutex_);
        client_ = std::move(accepted);
        changed_.notify_all();
        continue;
      }
      if (Poll_WaitReadable(fd, 10) <= 0) continue;
      uint8_t buf[4096];
      std::unique_lock<std::mutex> lock(mutex_);
      if (!client_.isOpen() || client_.fd() != fd) continue;
      const int n = client_.readAvailable(buf, sizeof buf);
      if (n == TcpSocket::kPeerClosed || n < 0) {
        client_.close();
        continue;
      }
      received_.insert(received_.end(), buf, buf + n);
      for (;;) {
        if (received_.size() - parsed_ < 5) break;
        const uint8_t* p = received_.data() + parsed_;
        const size_t len = p[4] & 15;
        if (received_.size() - parsed_ < 5 + len) break;
        ClientFrame f{uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3],
                      p[4] >> 4, Bytes(p + 5, p + 5 + len)};
        parsed_ += 5 + len;
        frames_.push_back(f);
        const Bytes answer = answerFor(f);
        if (!answer.empty()) client_.sendAll(answer.data(), answer.size(), 1000);
      }
      changed_.notify_all();
    }
  }

  Bytes answerFor(const ClientFrame& f) {
    switch (f.id) {
      case 0x80000001:
        return busCount < 0 ? Bytes{} : MasterFrame(f.id, f.bus, {uint8_t(busCount)});
      case 0x80000002:
        if (size_t(f.bus) >= baudCodes.size() || baudCodes[f.bus] < 0) return {};
        return MasterFrame(f.id, f.bus, {uint8_t(baudCodes[f.bus])});
      case 0x80000004:
        return runState < 0 ? Bytes{}
                            : beforeRunStateReply + MasterFrame(f.id, f.bus, {uint8_t(runState)});
      default:
        return {};
    }
  }

  TcpListener listener_;
  TcpSocket client_;
  std::thread thread_;
  std::atomic<bool> running_{false};
  std::mutex mutex_;
  std::condition_variable changed_;
  Bytes received_;
  size_t parsed_ = 0;
  std::vector<ClientFrame> frames_;
};
