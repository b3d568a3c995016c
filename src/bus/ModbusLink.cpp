#include "bus/ModbusLink.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>

#include "bus/Interface.h"
#include "core/ErrorReport.h"
#include "core/Options.h"
#include "core/Session.h"
#include "core/TextFormat.h"
#include "platform/Clock.h"

namespace {

// A flood of input is drained at most this far before a send.
constexpr int kMaxDrainBytes = 64 * 1024;

ModbusLink& link() { return Session_Part<ModbusLink>(); }

uint32_t baseId() { return uint32_t(Option_GetInt("VORN_PROT_BASE_ID")); }

LinkResult failWith(int code, const std::string& text) { return LinkResult{code, text}; }

// A facade's result: 0, or the link's code with the text kept for GetInterfaceError.
int report(const LinkResult& result) {
  if (result.ok()) return 0;
  SetInterfaceError("%s", result.text.c_str());
  return result.code;
}

}  // namespace

// ---- the link object -----------------------------------------------------------

int ModbusLink::GapMs(long baud) { return baud > 0 && baud < 19200 ? int(35000 / baud) : 2; }

int ModbusLink::lineTimeMs(int characters) const {
  if (baud_ <= 0) return 0;
  const int64_t bits = int64_t(characters) * (1 + dataBits_ + (parity_ == 'n' ? 0 : 1) + stopBits_);
  return int((bits * 1000 + baud_ - 1) / baud_);
}

std::string ModbusLink::deviceControl() const {
  char text[96];
  std::snprintf(text, sizeof text, "baud=%ld parity=%c data=%d stop=%d", baud_, parity_, dataBits_,
                stopBits_);
  return text;
}

LinkResult ModbusLink::open() {
  if (!port_.open(portName_))
    return failWith(1, Text_Format("Cannot open Serial Port %s\n(Windows error #%d)", portName_.c_str(),
                                   port_.lastErrno()));
  savedTimeouts_ = port_.timeouts();
  // Reads return at once with what has arrived: the interface layer waits on
  // the port's descriptor between reads.
  SerialTimeouts timeouts;
  timeouts.readTotalMs = 0;
  timeouts.writeTotalMs = kWriteTimeoutMs;
  port_.setTimeouts(timeouts);
  if (!port_.configure(deviceControl())) {
    const int error = port_.lastErrno();
    port_.close();
    return failWith(1, Text_Format("Cannot set Serial Port parameters\n(Windows error #%d)", error));
  }
  // Lines without modem control (a pseudo-terminal) have no DTR to raise.
  port_.setDtr(true);
  reset();
  return {};
}

LinkResult ModbusLink::close() {
  port_.setTimeouts(savedTimeouts_);
  port_.close();  // gives the line settings back as found
  input_.clear();
  return {};
}

void ModbusLink::waitUntil(int64_t timeMs) {
  const int64_t left = timeMs - Clock_NowMs();
  if (left > 0) Clock_SleepMs(left);
}

LinkResult ModbusLink::send(const CanMsg& msg) {
  uint8_t frame[kModbusRequestMax];
  const int size = ModbusFrame_EncodeRequest(msg, baseId(), frame);
  waitUntil(nextSendMs_ > replyDeadlineMs_ ? nextSendMs_ : replyDeadlineMs_);
  reset();
  const int written = port_.write(frame, size);
  // The bytes leave the port after the write returns; the gap follows them.
  nextSendMs_ = Clock_NowMs() + lineTimeMs(size) + GapMs(baud_);
  const bool answerWanted = (msg.data[0] & 0xC0) != 0;
  replyDeadlineMs_ = answerWanted ? nextSendMs_ + kReplyWaitMs : 0;
  if (written != size)
    return failWith(1, Text_Format("Modbus error:\nSendMessage on %s failed\n(Windows error #%d)",
                                   portName_.c_str(), port_.lastErrno()));
  return {};
}

LinkResult ModbusLink::receive(CanMsg& msg, bool& got) {
  got = false;
  int room = 0;
  uint8_t* at = input_.space(room);
  const int n = port_.read(at, room < kReadChunk ? room : kReadChunk);
  if (n < 0) return LinkResult::Fail("Windows ReadFile() error #%d", port_.lastErrno());
  // The other end gone for good: reads find nothing but would never fail.
  if (n == 0 && port_.hungUp()) return LinkResult::Fail("Windows ReadFile() error #%d", EIO);
  const int64_t now = Clock_NowMs();
  if (n > 0) {
    input_.commit(n);
    replyDeadlineMs_ = now + kReplyWaitMs;
  }
  switch (input_.take(baseId(), msg)) {
    case ModbusReplyBuffer::Result::Incomplete:
      break;
    case ModbusReplyBuffer::Result::Dropped:
      replyDeadlineMs_ = 0;
      break;
    case ModbusReplyBuffer::Result::Frame:
      msg.time = uint32_t(now);
      replyDeadlineMs_ = 0;
      // The module's frame needs its silent gap behind it as much as ours.
      if (nextSendMs_ < now + GapMs(baud_)) nextSendMs_ = now + GapMs(baud_);
      got = true;
      break;
  }
  return {};
}

void ModbusLink::reset() {
  if (port_.isOpen()) {
    uint8_t scratch[256];
    for (int drained = 0; drained < kMaxDrainBytes;) {
      const int n = port_.read(scratch, sizeof scratch);
      if (n <= 0) break;
      drained += n;
    }
  }
  input_.clear();
}

void ModbusLink::applySettings() {
  setMode(Option_GetInt("MODBUS_MODE"));
  setPortName(Option_GetString("MODBUS_COMPORTNAME"));
  setBaudrate(Option_GetLong("MODBUS_BAUDRATE"));
  setProtocol(Option_GetString("MODBUS_PROTOCOL"));
}

int ModbusLink::bitRate() const { return baud_ > INT_MAX ? INT_MAX : baud_ < 0 ? 0 : int(baud_); }

std::string ModbusLink::describe() const {
  return Text_Format("%s  %ld  %s", portName_.c_str(), baud_, protocolText_.c_str());
}

void ModbusLink::setMode(int mode) {
  if (mode == 1) {
    ShowErrorBox("Modbus ASCII not yet implemented");
    mode_ = 0;
  } else if (mode == 0) {
    mode_ = 0;
  }
}

void ModbusLink::setProtocol(const std::string& text) {
  if (text.size() != 3) return;
  dataBits_ = text[0] - '0';
  parity_ = char(std::tolower(static_cast<unsigned char>(text[1])));
  stopBits_ = text[2] - '0';
  protocolText_ = Text_Format("%d%c%d", dataBits_, std::toupper(static_cast<unsigned char>(parity_)),
                              stopBits_);
}

// ---- link operations on the session's link -----------------------------------

int Modbus_Open() { return report(link().open()); }
int Modbus_Close() { return report(link().close()); }
int Modbus_Send(const CanMsg& msg) { return report(link().send(msg)); }

int Modbus_Receive(CanMsg& msg, int& got) {
  bool delivered = false;
  const int result = report(link().receive(msg, delivered));
  got = delivered ? 1 : 0;
  return result;
}

void Modbus_Reset() { link().reset(); }

// ---- settings ------------------------------------------------------------------

void Modbus_SetMode(int mode) { link().setMode(mode); }
void Modbus_SetPortName(const char* name) { link().setPortName(name ? name : ""); }
void Modbus_SetBaudrate(long baud) { link().setBaudrate(baud); }
void Modbus_SetProtocol(const char* text) { link().setProtocol(text ? text : ""); }
int Modbus_GetMode() { return link().mode(); }
const char* Modbus_GetPortName() { return link().portName().c_str(); }
long Modbus_GetBaudrate() { return link().baudrate(); }
const char* Modbus_GetProtocol() { return link().protocol().c_str(); }
