#include "canport/SimCanPort.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "SimServer.h"
#include "canport/CanPortWire.h"
#include "core/FrameTiming.h"
#include "traffic/CanOpenTraffic.h"

namespace {
constexpr size_t kMaxUnsent = 4 << 20;  // bytes held for a client that does not read

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// The master's error report as the adapter status bits it stands for.
uint32_t StatusOfErrorReport(uint32_t id) {
  uint32_t bits = 0;
  if (id & kSimErrorAck) bits |= kCanPortStatusBusLight;
  if (id & kSimErrorBus) bits |= kCanPortStatusBusHeavy;
  if (id & kSimErrorBusOff) bits |= kCanPortStatusBusOff;
  return bits;
}
}  // namespace

struct SimCanPort::Impl {
  Impl(SimServer& s, int b) : server(s), bus(b) {}

  SimServer& server;
  const int bus;
  mutable std::mutex m;
  mutable std::condition_variable cv;
  // Shared with the server thread's tap (under m).
  std::vector<uint8_t> out;
  bool clientReady = false;  // connected, hello seen, at the bus's rate
  bool overflow = false;
  SimCanPortStats stats;
  std::string error;
  int boundPort = 0;
  // The port thread's own.
  int listenFd = -1;
  int clientFd = -1;
  int wakeFd = -1;
  std::vector<uint8_t> in;
  std::vector<uint8_t> sending;
  int tapHandle = 0;
  std::thread thread;
  std::atomic<bool> stopRequested{false};
  bool running = false;

  void wake() const {
    uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wakeFd, &one, sizeof one);
  }

  void queueLocked(const CanPortRecord& r) {
    uint8_t bytes[kCanPortRecordSize];
    CanPort_Encode(r, bytes);
    out.insert(out.end(), bytes, bytes + kCanPortRecordSize);
    if (out.size() > kMaxUnsent) overflow = true;
  }

  // The server thread: a frame completed on some bus.
  void tap(int frameBus, const SimFrame& f, int64_t timeUs, bool fromAdapter) {
    if (frameBus != bus || fromAdapter) return;  // an adapter does not hear itself
    std::lock_guard lock(m);
    if (!clientReady || overflow) return;
    CanPortRecord r;
    r.stamp = uint32_t(std::max<int64_t>(1, timeUs / 1000));
    if (f.id & kSimErrorReportFlag) {
      r.kind = kCanPortStatus;
      r.len = 4;
      r.value = StatusOfErrorReport(f.id);
      ++stats.statusToClient;
    } else {
      r.kind = kCanPortFrame;
      r.flags = (f.id & kSimRemoteFlag) ? kCanPortRemote : 0;
      if ((f.id & 0x1FFFFFFFu) > 0x7FF) r.flags |= kCanPortExtended;
      r.value = f.id & 0x1FFFFFFFu;
      r.len = f.len;
      std::memcpy(r.data, f.data, 8);
      ++stats.framesToClient;
    }
    queueLocked(r);
    wake();
  }

  void dropClient() {
    CloseFd(clientFd);
    in.clear();
    sending.clear();
    std::lock_guard lock(m);
    clientReady = false;
    overflow = false;
    out.clear();
    cv.notify_all();
  }

  void acceptClient() {
    const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    if (clientFd >= 0) dropClient();  // a new client replaces the old one
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    clientFd = fd;
    std::lock_guard lock(m);
    ++stats.connections;
    cv.notify_all();
  }

  void fromClient(const CanPortRecord& r) {
    if (r.kind == kCanPortHello) {
      const uint32_t busRate = uint32_t(CanBitRateKbits(server.busBitRateCode(bus))) * 1000u;
      std::lock_guard lock(m);
      stats.clientBitRate = r.value;
      clientReady = r.value == busRate;
      return;
    }
    bool onBus;
    {
      std::lock_guard lock(m);
      onBus = clientReady;
      if (!onBus) {
        // Off the bus (wrong rate, no hello): nobody acknowledges the frame.
        ++stats.framesRefused;
        CanPortRecord status;
        status.kind = kCanPortStatus;
        status.len = 4;
        status.value = kCanPortStatusBusHeavy;
        queueLocked(status);
        ++stats.statusToClient;
      } else {
        ++stats.framesFromClient;
      }
      cv.notify_all();
    }
    if (!onBus) return;
    SimFrame f;
    f.id = r.value & 0x1FFFFFFFu;
    if (r.flags & kCanPortRemote) f.id |= kSimRemoteFlag;
    f.bus = uint8_t(bus);
    f.len = r.len;
    std::memcpy(f.data, r.data, 8);
    server.adapterTransmit(bus, f);  // takes the server lock: never hold m here
  }

  void readClient() {
    uint8_t chunk[16 * 1024];
    const ssize_t n = ::recv(clientFd, chunk, sizeof chunk, 0);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
      dropClient();
      return;
    }
    if (n < 0) return;
    in.insert(in.end(), chunk, chunk + n);
    size_t at = 0;
    for (; in.size() - at >= kCanPortRecordSize; at += kCanPortRecordSize) {
      CanPortRecord r;
      if (!CanPort_Decode(in.data() + at, r) || r.kind == kCanPortStatus) {
        dropClient();  // out of step: nothing after it can be trusted
        return;
      }
      fromClient(r);
      if (clientFd < 0) return;
    }
    in.erase(in.begin(), in.begin() + ptrdiff_t(at));
  }

  void writeClient() {
    bool overflowed;
    {
      std::lock_guard lock(m);
      overflowed = overflow;
      if (overflowed) error = "the adapter stopped reading; disconnected";
      sending.insert(sending.end(), out.begin(), out.end());
      out.clear();
    }
    if (overflowed) {
      dropClient();
      return;
    }
    while (!sending.empty() && clientFd >= 0) {
      const ssize_t n = ::send(clientFd, sending.data(), sending.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n < 0) {
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) dropClient();
        return;
      }
      sending.erase(sending.begin(), sending.begin() + n);
    }
    if (sending.size() > kMaxUnsent) dropClient();
  }

  void loop() {
    while (!stopRequested) {
      pollfd fds[3] = {{wakeFd, POLLIN, 0}, {listenFd, POLLIN, 0}, {clientFd, POLLIN, 0}};
      if (clientFd >= 0 && !sending.empty()) fds[2].events |= POLLOUT;
      const nfds_t count = clientFd >= 0 ? 3 : 2;
      if (::poll(fds, count, 200) <= 0) continue;
      if (fds[0].revents & POLLIN) {
        uint64_t v;
        [[maybe_unused]] ssize_t n = ::read(wakeFd, &v, sizeof v);
      }
      if (fds[1].revents & POLLIN) acceptClient();
      if (count == 3 && clientFd == fds[2].fd && (fds[2].revents & (POLLIN | POLLHUP | POLLERR))) readClient();
      if (clientFd >= 0) writeClient();
    }
  }
};

SimCanPort::SimCanPort(SimServer& server, int bus) : d_(std::make_unique<Impl>(server, bus)) {}

SimCanPort::~SimCanPort() { stop(); }

bool SimCanPort::start(const std::string& address, int port) {
  if (d_->running) return true;
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(uint16_t(port));
  {
    std::lock_guard lock(d_->m);
    if (port < 0 || port > 65535 || ::inet_pton(AF_INET, address.c_str(), &sa.sin_addr) != 1) {
      d_->error = "bad address " + address + ":" + std::to_string(port);
      return false;
    }
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    int one = 1;
    if (fd < 0 || ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0 ||
        ::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || ::listen(fd, 4) != 0) {
      d_->error = "cannot listen on " + address + ":" + std::to_string(port) + ": " + std::strerror(errno);
      if (fd >= 0) ::close(fd);
      return false;
    }
    socklen_t len = sizeof sa;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
    d_->listenFd = fd;
    d_->boundPort = ntohs(sa.sin_port);
  }
  d_->wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  d_->stopRequested = false;
  d_->running = true;
  Impl* impl = d_.get();
  // Not under the port's lock: the tap runs under the server's and then takes ours.
  d_->tapHandle = d_->server.addBusTap(
      [impl](int bus, const SimFrame& f, int64_t t, bool fromAdapter) { impl->tap(bus, f, t, fromAdapter); });
  d_->thread = std::thread([impl] { impl->loop(); });
  return true;
}

void SimCanPort::stop() {
  if (!d_->running) return;
  d_->server.removeBusTap(d_->tapHandle);  // no tap runs after this returns
  d_->stopRequested = true;
  d_->wake();
  d_->thread.join();
  d_->dropClient();
  CloseFd(d_->listenFd);
  CloseFd(d_->wakeFd);
  d_->running = false;
  std::lock_guard lock(d_->m);
  d_->boundPort = 0;
}

int SimCanPort::port() const {
  std::lock_guard lock(d_->m);
  return d_->boundPort;
}

int SimCanPort::bus() const { return d_->bus; }

std::string SimCanPort::lastError() const {
  std::lock_guard lock(d_->m);
  return d_->error;
}

SimCanPortStats SimCanPort::stats() const {
  std::lock_guard lock(d_->m);
  return d_->stats;
}

bool SimCanPort::waitForFramesFromClient(int64_t count, int timeoutMs) const {
  std::unique_lock lock(d_->m);
  return d_->cv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                         [&] { return d_->stats.framesFromClient >= count; });
}
