// The adapter on a simulated bus: a TCP client of the simulator's raw CAN
// port (sim/canport/CanPortWire.h).
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "AdapterChannel.h"
#include "canport/CanPortWire.h"

namespace {

constexpr int kConnectTimeoutMs = 2000;
// Bytes waiting for the socket beyond which a write reports a full queue.
constexpr size_t kMaxQueuedOut = 64 * 1024;
// Bytes a reset throws away at most (a port that keeps sending cannot hold it).
constexpr size_t kMaxResetBytes = 1 << 20;

class SimBusChannel : public AdapterChannel {
 public:
  SimBusChannel(std::string host, int port) : host_(std::move(host)), port_(port) {}
  ~SimBusChannel() override { disconnect(); }

  uint32_t start(uint32_t bitRate) override {
    const uint32_t r = connectPort();
    return r ? r : hello(bitRate);
  }

  uint32_t restart(uint32_t bitRate) override {
    status_ = 0;
    if (fd_ < 0) return start(bitRate);
    return hello(bitRate);
  }

  uint32_t write(const CanAdapterMsg& msg) override {
    if (fd_ < 0) return CAN_ADAPTER_REGTEST;
    if (const uint32_t r = flush()) return r;
    if (out_.size() + kCanPortRecordSize > kMaxQueuedOut) return CAN_ADAPTER_XMTFULL;
    CanPortRecord r;
    r.kind = kCanPortFrame;
    r.flags = msg.type & (kCanPortRemote | kCanPortExtended);
    r.len = msg.len;
    r.value = msg.id & 0x1FFFFFFFu;
    std::memcpy(r.data, msg.data, 8);
    queue(r);
    return flush();
  }

  uint32_t read(CanAdapterMsg& msg, CanAdapterTimestamp& stamp) override {
    if (fd_ < 0) return CAN_ADAPTER_REGTEST;
    if (const uint32_t r = flush()) return r;
    if (in_.size() - inAt_ < kCanPortRecordSize) {
      fill();
      // Records that arrived before the port closed are delivered first.
      if (in_.size() - inAt_ < kCanPortRecordSize) return peerGone_ ? lost() : uint32_t(CAN_ADAPTER_QRCVEMPTY);
    }
    CanPortRecord r;
    const bool valid = CanPort_Decode(in_.data() + inAt_, r);
    inAt_ += kCanPortRecordSize;
    if (!valid || r.kind == kCanPortHello) {
      AdapterChannel_Say("%s: the simulator sent a record no port sends; disconnected", describe().c_str());
      disconnect();
      return CAN_ADAPTER_REGTEST;
    }
    msg = CanAdapterMsg{};
    stamp = CanAdapterTimestamp{};
    stamp.millis = r.stamp;
    if (r.kind == kCanPortStatus) {
      status_ = r.value;
      msg.type = CAN_ADAPTER_TYPE_STATUS;
      msg.len = 4;
      for (int i = 0; i < 4; ++i) msg.data[i] = uint8_t(r.value >> (24 - 8 * i));
      return 0;
    }
    msg.id = r.value;
    msg.type = r.flags & (kCanPortRemote | kCanPortExtended);
    msg.len = r.len;
    std::memcpy(msg.data, r.data, 8);
    return 0;
  }

  void reset() override {
    in_.erase(in_.begin(), in_.begin() + ptrdiff_t(inAt_));
    inAt_ = 0;
    if (fd_ >= 0) {
      uint8_t chunk[4096];
      for (size_t dropped = 0; dropped < kMaxResetBytes;) {
        const ssize_t n = ::recv(fd_, chunk, sizeof chunk, MSG_DONTWAIT);
        if (n <= 0) break;
        in_.insert(in_.end(), chunk, chunk + n);
        dropped += size_t(n);
        in_.erase(in_.begin(), in_.end() - ptrdiff_t(in_.size() % kCanPortRecordSize));
      }
    }
    // Whole records go; the start of one still under way stays, so the
    // stream keeps in step.
    in_.erase(in_.begin(), in_.end() - ptrdiff_t(in_.size() % kCanPortRecordSize));
  }

  uint32_t status() const override { return status_; }

  std::string describe() const override { return "tcp:" + host_ + ":" + std::to_string(port_); }

 private:
  uint32_t connectPort() {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host_.c_str(), std::to_string(port_).c_str(), &hints, &found) != 0 || !found) {
      AdapterChannel_Say("%s: cannot resolve host \"%s\"", describe().c_str(), host_.c_str());
      return CAN_ADAPTER_REGTEST;
    }
    sockaddr_in address{};
    std::memcpy(&address, found->ai_addr, sizeof address);
    ::freeaddrinfo(found);
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return CAN_ADAPTER_RESOURCE;
    int result = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    if (result != 0 && errno == EINPROGRESS) {
      pollfd p{fd_, POLLOUT, 0};
      int err = 0;
      socklen_t len = sizeof err;
      if (::poll(&p, 1, kConnectTimeoutMs) == 1 && ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len) == 0) {
        errno = err;
        result = err == 0 ? 0 : -1;
      } else {
        errno = ETIMEDOUT;
      }
    }
    if (result != 0) {
      AdapterChannel_Say("%s: cannot connect (%s)", describe().c_str(), std::strerror(errno));
      disconnect();
      return CAN_ADAPTER_REGTEST;
    }
    int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return 0;
  }

  uint32_t hello(uint32_t bitRate) {
    CanPortRecord r;
    r.kind = kCanPortHello;
    r.value = bitRate;
    queue(r);
    return flush();
  }

  void queue(const CanPortRecord& r) {
    uint8_t bytes[kCanPortRecordSize];
    CanPort_Encode(r, bytes);
    out_.insert(out_.end(), bytes, bytes + kCanPortRecordSize);
  }

  // Hands what the socket takes; 0, or REGTEST when the port went away.
  uint32_t flush() {
    while (!out_.empty()) {
      const ssize_t n = ::send(fd_, out_.data(), out_.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n < 0) {
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
        return lost();
      }
      out_.erase(out_.begin(), out_.begin() + n);
    }
    return 0;
  }

  // Reads what has arrived; notes when the port closed.
  void fill() {
    if (inAt_ > 0) {
      in_.erase(in_.begin(), in_.begin() + ptrdiff_t(inAt_));
      inAt_ = 0;
    }
    uint8_t chunk[16 * 1024];
    for (int reads = 0; reads < 4;) {
      const ssize_t n = ::recv(fd_, chunk, sizeof chunk, MSG_DONTWAIT);
      if (n > 0) {
        in_.insert(in_.end(), chunk, chunk + n);
        if (size_t(n) < sizeof chunk) return;
        ++reads;
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
      peerGone_ = true;
      return;
    }
  }

  uint32_t lost() {
    AdapterChannel_Say("%s: the simulator closed the connection", describe().c_str());
    disconnect();
    return CAN_ADAPTER_REGTEST;
  }

  void disconnect() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    in_.clear();
    inAt_ = 0;
    out_.clear();
    peerGone_ = false;
  }

  std::string host_;
  int port_;
  int fd_ = -1;
  std::vector<uint8_t> in_;
  size_t inAt_ = 0;
  std::vector<uint8_t> out_;
  uint32_t status_ = 0;
  bool peerGone_ = false;  // the port closed; what it sent before is still read
};

}  // namespace

std::unique_ptr<AdapterChannel> AdapterChannel_SimBus(const std::string& host, int port) {
  return std::make_unique<SimBusChannel>(host, port);
}
