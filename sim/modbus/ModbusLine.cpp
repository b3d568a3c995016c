#include "modbus/ModbusLine.h"

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/EventQueue.h"
#include "protocol/WireConstants.h"

using namespace Wire;

namespace {

constexpr int kRequestOverhead = 7;  // address, function, tag (2), length, CRC (2)
constexpr size_t kRequestLog = 10000;
// Client waits for a reply from an address this long at most.
constexpr int64_t kAwaitUs = 2000000;
// Input that sits unfinished this long is a broken frame: RTU frames end in silence.
constexpr int64_t kStaleInputUs = 100000;
constexpr uint8_t kGarbage[3] = {0x55, 0xAA, 0x00};

struct Baud {
  speed_t code;
  long rate;
};
constexpr Baud kBauds[] = {{B1200, 1200},     {B2400, 2400},     {B4800, 4800},   {B9600, 9600},
                           {B19200, 19200},   {B38400, 38400},   {B57600, 57600}, {B115200, 115200},
                           {B230400, 230400}, {B460800, 460800}, {B921600, 921600}};

void appendCrc(std::vector<uint8_t>& frame) {
  const uint16_t crc = SimModbus_Crc16(frame.data(), frame.size());
  frame.push_back(uint8_t(crc & 0xFF));
  frame.push_back(uint8_t(crc >> 8));
}

}  // namespace

uint16_t SimModbus_Crc16(const uint8_t* bytes, size_t count) {
  uint16_t crc = 0xFFFF;
  for (size_t i = 0; i < count; ++i) {
    crc ^= bytes[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0xA001) : uint16_t(crc >> 1);
  }
  return crc;
}

ModbusLine::ModbusLine(SimNetwork& network, int bus) : network_(network), bus_(bus) {}

ModbusLine::~ModbusLine() { close(); }

bool ModbusLine::open(std::string& error) {
  close();
  char name[128] = {};
  if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
    error = std::string("cannot open a pseudo-terminal: ") + std::strerror(errno);
    master_ = slave_ = -1;
    return false;
  }
  // Raw until the program sets the line up: no echo, no translation.
  termios raw{};
  ::tcgetattr(slave_, &raw);
  cfmakeraw(&raw);
  ::tcsetattr(slave_, TCSANOW, &raw);
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  ::fcntl(master_, F_SETFD, FD_CLOEXEC);
  ::fcntl(slave_, F_SETFD, FD_CLOEXEC);
  path_ = name;
  return true;
}

void ModbusLine::close() {
  if (master_ >= 0) ::close(master_);
  if (slave_ >= 0) ::close(slave_);
  master_ = slave_ = -1;
  input_.clear();
  output_.clear();
  awaiting_.clear();
}

void ModbusLine::faultNext(SimModbusFault kind, int count) {
  for (int i = 0; i < count; ++i) nextFaults_.push_back(kind);
}

void ModbusLine::setStandingFault(SimModbusFault kind, int every) {
  standingKind_ = kind;
  standingEvery_ = every < 0 ? 0 : every;
}

long ModbusLine::baudRate() const {
  termios t{};
  if (slave_ < 0 || ::tcgetattr(slave_, &t) != 0) return 0;
  for (const Baud& b : kBauds)
    if (b.code == cfgetospeed(&t)) return b.rate;
  return 0;
}

int64_t ModbusLine::silenceUs() const {
  // 3.5 characters; above 19200 baud the fixed 1.75 ms that RTU asks for there.
  if (!lineTiming_) return 0;
  return baudRate() > 19200 ? 1750 : (charUs() * 7 + 1) / 2;
}

int64_t ModbusLine::charUs() const {
  if (!lineTiming_ || slave_ < 0) return 0;
  termios t{};
  if (::tcgetattr(slave_, &t) != 0) return 0;
  const long rate = baudRate();
  if (rate == 0) return 0;
  int bits = 1 + 8 + ((t.c_cflag & CSTOPB) ? 2 : 1) + ((t.c_cflag & PARENB) ? 1 : 0);
  switch (t.c_cflag & CSIZE) {
    case CS5: bits -= 3; break;
    case CS6: bits -= 2; break;
    case CS7: bits -= 1; break;
    default: break;
  }
  return int64_t(bits) * 1000000 / rate;
}

void ModbusLine::readable(int64_t nowUs) {
  if (master_ < 0) return;
  uint8_t buffer[512];
  for (;;) {
    const ssize_t n = ::read(master_, buffer, sizeof buffer);
    if (n <= 0) break;  // nothing more now (EAGAIN), or no one has the line open (EIO)
    if (!input_.empty() && nowUs - lastInputUs_ > kStaleInputUs) {
      input_.clear();  // an unfinished frame followed by silence
      ++stats_.badRequests;
    }
    input_.insert(input_.end(), buffer, buffer + n);
    lastInputUs_ = nowUs;
  }
  // Frames: address, 0x68, 0x06, 0x80, length 0..8, data, CRC. A byte that
  // cannot start one is skipped.
  size_t at = 0;
  while (input_.size() - at >= 5) {
    const uint8_t* f = input_.data() + at;
    if (f[1] != MODBUS_FUNCTION_CAN || f[2] != MODBUS_REQUEST_TAG_HIGH || f[3] != MODBUS_REQUEST_TAG_LOW ||
        f[4] > CAN_MAX_DATA) {
      ++at;
      ++stats_.badRequests;
      continue;
    }
    const int size = kRequestOverhead + f[4];
    if (input_.size() - at < size_t(size)) break;
    const uint16_t crc = SimModbus_Crc16(f, size_t(size - 2));
    if (f[size - 2] != (crc & 0xFF) || f[size - 1] != (crc >> 8)) {
      ++stats_.badRequests;
    } else {
      handleRequest(f, size, nowUs);
    }
    at += size_t(size);
  }
  input_.erase(input_.begin(), input_.begin() + long(at));
}

void ModbusLine::handleRequest(const uint8_t* f, int size, int64_t nowUs) {
  ++stats_.requests;
  if (requests_.size() >= kRequestLog) requests_.erase(requests_.begin(), requests_.begin() + kRequestLog / 2);
  requests_.emplace_back(f, f + size);
  const int address = f[0];
  SimFrame frame;
  frame.id = network_.baseId() + uint32_t(address);
  frame.len = f[4];
  std::memcpy(frame.data, f + 5, frame.len);
  // The slave has the request once its bytes and the silence after them have passed.
  const int64_t c = charUs();
  const int64_t atUs = nowUs + c * size + silenceUs();
  awaiting_[address] = atUs;
  network_.hostTransmit(bus_, frame, atUs);
}

void ModbusLine::fromBus(int bus, const SimFrame& frame, int64_t timeUs, FrameOrigin origin) {
  if (bus != bus_ || origin != FrameOrigin::Module || master_ < 0) return;
  if (frame.id & 0xE0000000u) return;
  const uint32_t base = network_.baseId();
  const uint32_t id = frame.id & 0x1FFFFFFFu;
  if (id < base || id > base + MODBUS_MAX_ADDRESS) return;
  const int address = int(id - base);
  // Only a slave that was asked answers on the line; a request to address 0
  // (identify all, search) lets every module answer.
  const auto asked = [&](int a) {
    auto it = awaiting_.find(a);
    return it != awaiting_.end() && timeUs - it->second <= kAwaitUs;
  };
  if (!asked(address) && !asked(0)) return;
  if (address != 0) awaiting_.erase(address);

  std::vector<uint8_t> reply = {uint8_t(address), MODBUS_FUNCTION_CAN, frame.len};
  reply.insert(reply.end(), frame.data, frame.data + frame.len);
  queueReply(std::move(reply), timeUs);
}

bool ModbusLine::takeFault(SimModbusFault& kind) {
  ++replyCount_;
  if (!nextFaults_.empty()) {
    kind = nextFaults_.front();
    nextFaults_.pop_front();
    return true;
  }
  if (standingEvery_ > 0 && replyCount_ % standingEvery_ == 0) {
    kind = standingKind_;
    return true;
  }
  return false;
}

void ModbusLine::queueReply(std::vector<uint8_t> reply, int64_t nowUs) {
  SimModbusFault fault{};
  const bool faulty = takeFault(fault);
  bool split = false;
  if (faulty) {
    ++stats_.faulted;
    switch (fault) {
      case SimModbusFault::WrongFunction: reply[1] = MODBUS_FUNCTION_CAN + 1; break;
      case SimModbusFault::NineBytes:
        reply.resize(3 + 9, 0);
        reply[2] = 9;
        break;
      case SimModbusFault::Silence: return;
      default: break;
    }
  }
  appendCrc(reply);
  if (faulty && fault == SimModbusFault::SwappedCrc) {
    const size_t n = reply.size();
    std::swap(reply[n - 2], reply[n - 1]);
    if (reply[n - 2] == reply[n - 1]) reply[n - 1] ^= 0xFF;  // a CRC whose bytes are equal
  }
  if (faulty && fault == SimModbusFault::TrailingGarbage)
    reply.insert(reply.end(), std::begin(kGarbage), std::end(kGarbage));
  if (faulty && fault == SimModbusFault::SplitBytes) split = true;
  ++stats_.replies;

  // The reply starts when the line is free and is written when its bytes are through.
  const int64_t c = charUs();
  int64_t t = std::max(nowUs, lineFreeUs_);
  if (split) {
    for (size_t i = 0; i < reply.size(); ++i) {
      t += c + (i ? splitGapUs_ : 0);
      output_.push_back(Segment{t, {reply[i]}});
    }
  } else {
    t += c * int64_t(reply.size());
    output_.push_back(Segment{t, std::move(reply)});
  }
  lineFreeUs_ = t + silenceUs();
}

void ModbusLine::write(int64_t nowUs) {
  while (!output_.empty() && output_.front().dueUs <= nowUs) {
    const std::vector<uint8_t>& bytes = output_.front().bytes;
    if (master_ < 0 || ::write(master_, bytes.data(), bytes.size()) != ssize_t(bytes.size())) ++stats_.lost;
    output_.pop_front();
  }
}

int64_t ModbusLine::nextDueUs() const { return output_.empty() ? EventQueue::kNever : output_.front().dueUs; }
