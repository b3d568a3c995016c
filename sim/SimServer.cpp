// The TCP side of the simulated bus master and its server thread. One lock
// guards the whole simulation; the thread holds it while it works and
// releases it while it waits in ppoll() for the socket, a wake-up or the next
// due event.
#include "SimServer.h"

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
#include <chrono>
#include <cstring>

#include "core/SimNetwork.h"
#include "instruments/SimReferenceSource.h"
#include "master/BusMaster.h"
#include "master/ClientOutput.h"
#include "master/WireFormat.h"
#include "modbus/ModbusLine.h"
#include "module/SimModule.h"

namespace {
constexpr size_t kLogLimit = 100000;
constexpr size_t kMaxUnsent = 4 << 20;  // bytes held for a client that does not read

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

void SetNonBlocking(int fd) { ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK); }
}  // namespace

struct SimServer::Impl {
  mutable std::mutex m;
  mutable std::condition_variable cv;
  SimNetwork network;
  ClientOutput output;
  BusMaster master;
  SimServerStats stats;
  HostStreamDecoder decoder;
  std::unique_ptr<ModbusLine> modbus;  // the Modbus RTU line, once started
  bool modbusLineTiming = false;
  int64_t modbusSplitGapUs = 2000;
  std::vector<SimTimedFrame> received;
  std::vector<std::pair<int, BusTap>> taps;
  int nextTap = 1;
  std::vector<uint8_t> unsent;  // bytes of a segment the socket did not take yet
  bool unsentCloseAfter = false;

  std::thread thread;
  std::atomic<bool> stopRequested{false};
  bool running = false;
  int listenFd = -1;
  int clientFd = -1;
  int wakeFd = -1;
  int boundPort = 0;
  std::string error;
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();

  Impl()
      : master(network, [this](const SimFrame& f, int64_t t) { toClient(f, t); }) {
    network.setListener([this](int bus, const SimFrame& f, int64_t t, FrameOrigin origin) {
      master.fromBus(bus, f, t, origin);
      for (const auto& tap : taps) tap.second(bus, f, t, origin == FrameOrigin::Adapter);
      if (modbus) modbus->fromBus(bus, f, t, origin);
    });
  }

  int64_t nowUs() const {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start).count();
  }

  std::function<void()> wakeFn = [this] { wake(); };

  void wake() const {
    if (wakeFd >= 0) {
      uint64_t one = 1;
      [[maybe_unused]] ssize_t n = ::write(wakeFd, &one, sizeof one);
    }
  }

  void toClient(const SimFrame& f, int64_t t) {
    if (clientFd < 0) return;  // nobody to tell
    int dropped = output.dropped();
    output.queueFrame(f, t);
    if (output.dropped() != dropped)
      ++stats.droppedToClient;
    else
      ++stats.framesToClient;
    cv.notify_all();
  }

  void dropClient() {
    CloseFd(clientFd);
    decoder.reset();
    output.reset();
    unsent.clear();
    unsentCloseAfter = false;
    cv.notify_all();
  }

  void acceptClient() {
    int fd = ::accept(listenFd, nullptr, nullptr);
    if (fd < 0) return;
    if (clientFd >= 0) dropClient();  // a new client replaces the old one
    SetNonBlocking(fd);
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    clientFd = fd;
    master.clientConnected();
    ++stats.connections;
    cv.notify_all();
  }

  void readClient() {
    uint8_t buf[4096];
    ssize_t n = ::recv(clientFd, buf, sizeof buf, 0);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
      dropClient();  // closed, possibly in the middle of a frame: the partial frame goes too
      return;
    }
    if (n < 0) return;
    int64_t now = nowUs();
    network.advance(now);
    decoder.feed(buf, size_t(n), [&](const DecodedFrame& d) {
      if (!d.legal()) {
        ++stats.badFrames;  // its bytes have been skipped; the stream stays in step
        return;
      }
      if (received.size() >= kLogLimit) received.erase(received.begin(), received.begin() + kLogLimit / 2);
      received.push_back(SimTimedFrame{now, d.frame});
      master.fromClient(d.frame, now, stats);
    });
    cv.notify_all();
  }

  // Writes what is due. Each segment goes out with one send(); what the socket
  // does not take waits in `unsent` and blocks later segments.
  void writeClient(int64_t now) {
    if (clientFd < 0) return;
    if (!flushUnsent()) return;
    ClientOutput::Segment seg;
    while (clientFd >= 0 && unsent.empty() && output.take(now, seg)) {
      unsent = std::move(seg.bytes);
      unsentCloseAfter = seg.closeAfter;
      ++stats.segmentsToClient;
      if (!flushUnsent()) return;
    }
    cv.notify_all();
  }

  // False when bytes remain (or the client went away).
  bool flushUnsent() {
    while (!unsent.empty() && clientFd >= 0) {
      ssize_t n = ::send(clientFd, unsent.data(), unsent.size(), MSG_NOSIGNAL);
      if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK) return false;
        if (errno == EINTR) continue;
        dropClient();
        return false;
      }
      unsent.erase(unsent.begin(), unsent.begin() + n);
    }
    if (clientFd < 0) return false;
    if (unsentCloseAfter) {
      ::shutdown(clientFd, SHUT_RDWR);
      dropClient();
      return false;
    }
    return true;
  }

  void loop() {
    std::unique_lock<std::mutex> lock(m);
    while (!stopRequested) {
      int64_t now = nowUs();
      network.advance(now);
      writeClient(now);
      if (modbus) modbus->write(now);
      if (unsent.size() > kMaxUnsent) dropClient();  // the client stopped reading long ago
      int64_t due = std::min(network.nextEventUs(), output.nextDueUs());
      if (modbus) due = std::min(due, modbus->nextDueUs());
      int64_t waitUs = due == EventQueue::kNever ? 200000 : std::clamp<int64_t>(due - nowUs(), 0, 200000);

      // A descriptor of -1 (no client, no Modbus line) is left alone by ppoll().
      pollfd fds[4] = {{wakeFd, POLLIN, 0}, {listenFd, POLLIN, 0}, {clientFd, POLLIN, 0},
                       {modbus ? modbus->fd() : -1, POLLIN, 0}};
      if (clientFd >= 0 && !unsent.empty()) fds[2].events |= POLLOUT;
      nfds_t count = 4;
      lock.unlock();
      timespec ts{time_t(waitUs / 1000000), long((waitUs % 1000000) * 1000)};
      int ready = ::ppoll(fds, count, &ts, nullptr);
      lock.lock();
      if (ready <= 0) continue;
      if (fds[0].revents & POLLIN) {
        uint64_t v;
        [[maybe_unused]] ssize_t n = ::read(wakeFd, &v, sizeof v);
      }
      if (fds[1].revents & POLLIN) acceptClient();
      // The client may have been replaced meanwhile; its events then belong to the old one.
      if (clientFd >= 0 && clientFd == fds[2].fd && fds[2].revents) {
        if (fds[2].revents & (POLLIN | POLLHUP | POLLERR)) readClient();
        if (clientFd >= 0 && (fds[2].revents & POLLOUT)) flushUnsent();
      }
      // POLLHUP alone (nobody has the line open) is no input; a short pause
      // keeps the loop from spinning on it.
      if (modbus && modbus->fd() == fds[3].fd && fds[3].revents) {
        if (fds[3].revents & POLLIN) {
          const int64_t t = nowUs();
          network.advance(t);
          modbus->readable(t);
          cv.notify_all();
        } else {
          lock.unlock();
          timespec pause{0, 2 * 1000 * 1000};
          ::nanosleep(&pause, nullptr);
          lock.lock();
        }
      }
    }
  }
};

SimServer::SimServer() : d_(std::make_unique<Impl>()) {}

SimServer::~SimServer() { stop(); }

bool SimServer::start(const std::string& address, int port) {
  std::lock_guard<std::mutex> lock(d_->m);
  if (d_->running) return true;
  d_->error.clear();
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(static_cast<uint16_t>(port));
  if (port < 0 || port > 65535 || ::inet_pton(AF_INET, address.c_str(), &sa.sin_addr) != 1) {
    d_->error = "bad address " + address + ":" + std::to_string(port);
    return false;
  }
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int one = 1;
  if (fd < 0 || ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0 ||
      ::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || ::listen(fd, 4) != 0) {
    d_->error = "cannot listen on " + address + ":" + std::to_string(port) + ": " + std::strerror(errno);
    if (fd >= 0) ::close(fd);
    return false;
  }
  socklen_t len = sizeof sa;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
  SetNonBlocking(fd);
  d_->listenFd = fd;
  d_->boundPort = ntohs(sa.sin_port);
  d_->wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  d_->stopRequested = false;
  d_->running = true;
  d_->thread = std::thread([this] { d_->loop(); });
  return true;
}

void SimServer::stop() {
  {
    std::lock_guard<std::mutex> lock(d_->m);
    if (!d_->running) return;
    d_->stopRequested = true;
    d_->wake();
  }
  d_->thread.join();
  std::lock_guard<std::mutex> lock(d_->m);
  d_->dropClient();
  d_->modbus.reset();
  CloseFd(d_->listenFd);
  CloseFd(d_->wakeFd);
  d_->running = false;
  d_->boundPort = 0;
}

namespace {
// Holds the server lock and, when released, wakes the server thread so that
// it looks at the change at once (new events, output, a closed client).
class WakingLock {
 public:
  explicit WakingLock(std::mutex& m, const std::function<void()>& wake) : lock_(m), wake_(wake) {}
  ~WakingLock() { wake_(); }

 private:
  std::lock_guard<std::mutex> lock_;
  const std::function<void()>& wake_;
};
}  // namespace


bool SimServer::running() const { std::lock_guard lock(d_->m); return d_->running; }
int SimServer::port() const { std::lock_guard lock(d_->m); return d_->boundPort; }
std::string SimServer::lastError() const { std::lock_guard lock(d_->m); return d_->error; }

void SimServer::setSilentMaster(bool silent) { std::lock_guard lock(d_->m); d_->master.setSilent(silent); }
void SimServer::setBusTiming(bool on) { std::lock_guard lock(d_->m); d_->network.setBusTiming(on); }
void SimServer::setRebootTimeMs(int ms) { std::lock_guard lock(d_->m); d_->network.setRebootTimeUs(int64_t(ms) * 1000); }
void SimServer::setZeroTimeStamps(bool zero) { std::lock_guard lock(d_->m); d_->output.setZeroTimeStamps(zero); }

void SimServer::setPopulation(const SimPopulation& population) {
  WakingLock lock(d_->m, d_->wakeFn);
  d_->network.setPopulation(population);
  d_->master.setRunState(population.plcRunState);
}

int SimServer::busCount() const { std::lock_guard lock(d_->m); return d_->network.busCount(); }
void SimServer::setBusBitRateCode(int bus, uint8_t code) { std::lock_guard lock(d_->m); d_->network.setBusBitRateCode(bus, code); }
uint8_t SimServer::busBitRateCode(int bus) const { std::lock_guard lock(d_->m); return d_->network.busBitRateCode(bus); }
SimModuleId SimServer::addModule(const SimModuleConfig& config) { std::lock_guard lock(d_->m); return d_->network.addModule(config); }
bool SimServer::removeModule(SimModuleId id) { std::lock_guard lock(d_->m); return d_->network.removeModule(id); }
SimModuleId SimServer::findModule(int bus, int node) const { std::lock_guard lock(d_->m); return d_->network.findModule(bus, node); }
std::vector<SimModuleId> SimServer::moduleIds() const { std::lock_guard lock(d_->m); return d_->network.moduleIds(); }

bool SimServer::pressButton(SimModuleId id) {
  std::lock_guard lock(d_->m);
  SimModule* m = d_->network.module(id);
  if (!m) return false;
  m->enterSearchMode();
  return true;
}

void SimServer::connectAnalogSource(const std::string& name, std::shared_ptr<const SimAnalogSource> source) {
  std::lock_guard lock(d_->m);
  d_->network.setAnalogSource(name, std::move(source));
}

int SimServer::referenceSourceOutput() const {
  std::lock_guard lock(d_->m);
  const SimReferenceSource* source = d_->network.referenceSource();
  return source ? int(source->output()) : -1;
}

int SimServer::referenceSourceRequests() const {
  std::lock_guard lock(d_->m);
  const SimReferenceSource* source = d_->network.referenceSource();
  return source ? source->requests() : 0;
}

bool SimServer::withModule(SimModuleId id, const std::function<void(SimModule&)>& fn) {
  WakingLock lock(d_->m, d_->wakeFn);  // fn may have started a timer or sent a frame
  SimModule* m = d_->network.module(id);
  if (!m) return false;
  fn(*m);
  return true;
}

int SimServer::moduleNode(SimModuleId id) const {
  std::lock_guard lock(d_->m);
  const SimModule* m = d_->network.module(id);
  return m ? m->node() : -1;
}

uint8_t SimServer::moduleState(SimModuleId id) const {
  std::lock_guard lock(d_->m);
  const SimModule* m = d_->network.module(id);
  return m ? m->state() : 0;
}

bool SimServer::setObject(SimModuleId id, const SimObject& object) {
  std::lock_guard lock(d_->m);
  SimModule* m = d_->network.module(id);
  if (!m) return false;
  m->objects().set(object);
  return true;
}

bool SimServer::readObject(SimModuleId id, uint16_t index, uint8_t subindex, uint32_t& value) const {
  std::lock_guard lock(d_->m);
  const SimModule* m = d_->network.module(id);
  const SimObject* o = m ? m->objects().find(index, subindex) : nullptr;
  if (!o) return false;
  value = o->value;
  return true;
}

uint8_t SimServer::plcRunState() const { std::lock_guard lock(d_->m); return d_->master.runState(); }
void SimServer::setPlcRunState(uint8_t state) { std::lock_guard lock(d_->m); d_->master.setRunState(state); }
int SimServer::loggerForwarding() const { std::lock_guard lock(d_->m); return d_->master.loggerForwarding(); }
SimServerStats SimServer::stats() const {
  std::lock_guard lock(d_->m);
  SimServerStats stats = d_->stats;
  stats.spoiledToClient = d_->output.spoiled();
  stats.delayedToClient = d_->output.delayed();
  return stats;
}

bool SimServer::hasClient() const { std::lock_guard lock(d_->m); return d_->clientFd >= 0; }

bool SimServer::waitForClient(int timeoutMs) const {
  std::unique_lock<std::mutex> lock(d_->m);
  return d_->cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return d_->clientFd >= 0; });
}

bool SimServer::waitForConnections(int count, int timeoutMs) const {
  std::unique_lock<std::mutex> lock(d_->m);
  return d_->cv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                         [&] { return d_->stats.connections >= count; });
}

std::vector<SimTimedFrame> SimServer::receivedFrames() const { std::lock_guard lock(d_->m); return d_->received; }

bool SimServer::waitForReceived(size_t count, int timeoutMs) const {
  std::unique_lock<std::mutex> lock(d_->m);
  return d_->cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return d_->received.size() >= count; });
}

bool SimServer::waitForReceivedFrame(const std::function<bool(const SimFrame&)>& match, int timeoutMs) const {
  std::unique_lock<std::mutex> lock(d_->m);
  size_t looked = 0;  // frames already looked at need no second look
  return d_->cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
    for (; looked < d_->received.size(); ++looked)
      if (match(d_->received[looked].frame)) return true;
    return false;
  });
}

std::vector<SimTimedFrame> SimServer::sentFrames() const { std::lock_guard lock(d_->m); return d_->output.sentLog(); }

std::vector<SimTimedFrame> SimServer::takeSentFrames() {
  std::lock_guard lock(d_->m);
  std::vector<SimTimedFrame> taken = d_->output.sentLog();
  d_->output.clearLog();
  return taken;
}

bool SimServer::waitForSent(size_t count, int timeoutMs) const {
  std::unique_lock<std::mutex> lock(d_->m);
  return d_->cv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                         [&] { return d_->output.sentLog().size() >= count; });
}

void SimServer::clearTraffic() {
  std::lock_guard lock(d_->m);
  d_->received.clear();
  d_->output.clearLog();
}

void SimServer::injectBusFrame(int bus, const SimFrame& frame) {
  WakingLock lock(d_->m, d_->wakeFn);
  d_->network.inject(bus, frame, d_->nowUs());
}

void SimServer::addBusTraffic(int bus, const SimFrame& frame, int periodMs) {
  WakingLock lock(d_->m, d_->wakeFn);
  d_->network.addTraffic(bus, std::make_unique<PeriodicTraffic>(frame, int64_t(periodMs) * 1000), d_->nowUs());
}

void SimServer::addTrafficSource(int bus, std::unique_ptr<BusTrafficSource> source) {
  WakingLock lock(d_->m, d_->wakeFn);
  d_->network.addTraffic(bus, std::move(source), d_->nowUs());
}

void SimServer::clearBusTraffic() { std::lock_guard lock(d_->m); d_->network.clearTraffic(); }

void SimServer::sendRawToClient(const std::vector<uint8_t>& bytes) {
  WakingLock lock(d_->m, d_->wakeFn);
  if (d_->clientFd >= 0) d_->output.queueRaw(bytes, d_->nowUs());
}

int SimServer::addBusTap(BusTap tap) {
  std::lock_guard lock(d_->m);
  d_->taps.emplace_back(d_->nextTap, std::move(tap));
  return d_->nextTap++;
}

void SimServer::removeBusTap(int handle) {
  std::lock_guard lock(d_->m);
  std::erase_if(d_->taps, [handle](const auto& t) { return t.first == handle; });
}

void SimServer::adapterTransmit(int bus, const SimFrame& frame) {
  WakingLock lock(d_->m, d_->wakeFn);
  d_->network.inject(bus, frame, d_->nowUs(), FrameOrigin::Adapter);
}

void SimServer::setFaults(const SimFaults& faults) { WakingLock lock(d_->m, d_->wakeFn); d_->output.setFaults(faults); }
SimFaults SimServer::faults() const { std::lock_guard lock(d_->m); return d_->output.faults(); }
void SimServer::setControlFaults(const SimControlFaults& faults) {
  std::lock_guard lock(d_->m);
  d_->master.setControlFaults(faults);
}
void SimServer::dropNextReplies(int count) { std::lock_guard lock(d_->m); d_->output.dropNext(count); }
void SimServer::corruptNextReplies(SimCorruption kind, int count) { std::lock_guard lock(d_->m); d_->output.corruptNext(kind, count); }

void SimServer::closeConnection() {
  WakingLock lock(d_->m, d_->wakeFn);
  if (d_->clientFd >= 0) d_->dropClient();
}

void SimServer::closeMidFrame() { std::lock_guard lock(d_->m); d_->output.closeMidFrame(); }
void SimServer::holdOutput(bool hold) { WakingLock lock(d_->m, d_->wakeFn); d_->output.hold(hold); }
void SimServer::releaseSegments(int count) { WakingLock lock(d_->m, d_->wakeFn); d_->output.release(count); }
int SimServer::pendingSegments() const { std::lock_guard lock(d_->m); return d_->output.pendingSegments(); }

bool SimServer::waitForPendingSegments(int count, int timeoutMs) const {
  std::unique_lock<std::mutex> lock(d_->m);
  return d_->cv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                         [&] { return d_->output.pendingSegments() >= count; });
}

// ---- Modbus RTU line ---------------------------------------------------------

std::string SimServer::startModbus(int bus) {
  WakingLock lock(d_->m, d_->wakeFn);
  if (d_->modbus) return d_->modbus->devicePath();
  if (bus < 0 || bus >= d_->network.busCount()) {
    d_->error = "no bus " + std::to_string(bus) + " for the Modbus line";
    return {};
  }
  auto line = std::make_unique<ModbusLine>(d_->network, bus);
  if (!line->open(d_->error)) return {};
  line->setLineTiming(d_->modbusLineTiming);
  line->setSplitGapUs(d_->modbusSplitGapUs);
  d_->modbus = std::move(line);
  return d_->modbus->devicePath();
}

void SimServer::stopModbus() { WakingLock lock(d_->m, d_->wakeFn); d_->modbus.reset(); }

std::string SimServer::modbusDevice() const {
  std::lock_guard lock(d_->m);
  return d_->modbus ? d_->modbus->devicePath() : std::string();
}

void SimServer::setModbusLineTiming(bool on) {
  std::lock_guard lock(d_->m);
  d_->modbusLineTiming = on;
  if (d_->modbus) d_->modbus->setLineTiming(on);
}

void SimServer::setModbusSplitGapMs(int ms) {
  std::lock_guard lock(d_->m);
  d_->modbusSplitGapUs = int64_t(ms) * 1000;
  if (d_->modbus) d_->modbus->setSplitGapUs(d_->modbusSplitGapUs);
}

void SimServer::modbusFaultNext(SimModbusFault kind, int count) {
  std::lock_guard lock(d_->m);
  if (d_->modbus) d_->modbus->faultNext(kind, count);
}

void SimServer::setModbusFault(SimModbusFault kind, int every) {
  std::lock_guard lock(d_->m);
  if (d_->modbus) d_->modbus->setStandingFault(kind, every);
}

std::vector<std::vector<uint8_t>> SimServer::modbusRequests() const {
  std::lock_guard lock(d_->m);
  return d_->modbus ? d_->modbus->requests() : std::vector<std::vector<uint8_t>>{};
}

bool SimServer::waitForModbusRequests(size_t count, int timeoutMs) const {
  std::unique_lock<std::mutex> lock(d_->m);
  return d_->cv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                         [&] { return d_->modbus && d_->modbus->requests().size() >= count; });
}

SimModbusStats SimServer::modbusStats() const {
  std::lock_guard lock(d_->m);
  return d_->modbus ? d_->modbus->stats() : SimModbusStats{};
}
