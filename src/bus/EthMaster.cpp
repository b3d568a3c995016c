#include "bus/EthMaster.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "bus/BitRate.h"
#include "bus/EthFrame.h"
#include "bus/Interface.h"
#include "bus/Link.h"
#include "core/ErrorReport.h"
#include "core/Options.h"
#include "core/Session.h"
#include "platform/Clock.h"
#include "platform/Poll.h"
#include "platform/Tcp.h"

namespace {

// A control request gives up after ten empty polls 100 ms apart.
constexpr int kRequestWindowMs = 9 * 100;
// A master that stops reading must not hold the program: a frame that cannot
// be handed to the socket within this time fails.
constexpr int kSendTimeoutMs = 1000;
// One receive call reads at most this often before it stops taking new bytes,
// so a flood of frames for other buses cannot hold it.
constexpr int kMaxReadsPerReceive = 64;
// A flush drains at most this much of a master that keeps sending.
constexpr size_t kMaxFlushBytes = 1 << 20;

EthMasterLink& link() { return Session_Part<EthMasterLink>(); }

int clampInt(int value, int low, int high) { return value < low ? low : value > high ? high : value; }

// Wait cursor for the connection set-up, restored on every way out.
struct WaitCursor {
  WaitCursor() { SetWaitCursor(1); }
  ~WaitCursor() { SetWaitCursor(0); }
};

void toCanMsg(const EthFrameIn& frame, CanMsg& msg) {
  // A master without a clock sends 0: the program's own time since its start.
  msg.time = frame.stamp != 0 ? frame.stamp : uint32_t(Clock_SinceStartMs());
  msg.id = frame.id;
  msg.len = uint32_t(frame.lengthNibble() > 8 ? 8 : frame.lengthNibble());
  for (uint32_t i = 0; i < 8; ++i) msg.data[i] = i < msg.len ? frame.data[i] : 0;
}

CanMsg controlFrame(uint32_t id) {
  CanMsg msg;
  msg.id = id;
  return msg;
}

// A facade's result: 0, or -1 with the text kept for GetInterfaceError.
int report(const LinkResult& result) {
  if (result.ok()) return 0;
  SetInterfaceError("%s", result.text.c_str());
  return -1;
}

}  // namespace

// ---- the link object -----------------------------------------------------------

EthMasterLink::~EthMasterLink() { socket_.close(); }

// A length nibble above 8 is reported once per frame, as soon as its header is in.
void EthMasterLink::checkFrontLength() {
  const int lengthByte = input_.frontLengthByte();
  if (lengthByte < 0 || (lengthByte & 15) <= 8 || illegalReported_) return;
  illegalReported_ = true;
  ShowError("Received message with illegal length (%d)\nlogger stopped.", lengthByte);
  if (illegalLengthHook_) illegalLengthHook_();
}

// Reads what the socket holds until the front frame is complete. 1 = complete,
// 0 = incomplete (nothing more pending or the read budget spent), -1 = error.
int EthMasterLink::fillFrontFrame(int& readsLeft, LinkResult& failure) {
  for (;;) {
    checkFrontLength();
    if (input_.frontComplete()) return 1;
    if (readsLeft <= 0) return 0;
    --readsLeft;
    size_t room = 0;
    uint8_t* at = input_.space(room);
    const int n = socket_.readAvailable(at, room);
    if (n == 0) return 0;
    if (n == TcpSocket::kPeerClosed) {
      failure = LinkResult::Fail("Server closed connection, socket error #%d", socket_.pendingError());
      return -1;
    }
    if (n < 0) {
      failure = LinkResult::Fail("Can't recv message, socket error #%d", socket_.lastErrno());
      return -1;
    }
    input_.commit(size_t(n));
  }
}

// Asks one control question on the current bus; the answer's first data byte, or fallback.
int EthMasterLink::askMaster(uint32_t id, int fallback) {
  CanMsg reply;
  LinkResult failure;
  if (request(controlFrame(id), reply, failure) && reply.len >= 1) return int(reply.data[0] & 0xFF);
  return fallback;
}

LinkResult EthMasterLink::open() {
  masterAnswered_ = false;
  if (socket_.isOpen()) close();
  if (hostName_[0] == '\0') return LinkResult::Fail("No hostname\nfor the KVX master");

  WaitCursor cursor;
  uint32_t address = 0;
  if (!Tcp_ResolveIPv4(hostName_, &address, nullptr))
    return LinkResult::Fail("Can't resolve host '%s'", hostName_);
  if (!socket_.create())
    return LinkResult::Fail("Can't create socket, socket() error #%d", socket_.lastErrno());
  // The system's own connect time-out applies; a failed connect closes the socket.
  if (!socket_.connect(address, uint16_t(port_), -1))
    return LinkResult::Fail("Can't connect to host '%s'\nconnect() error #%d", hostName_,
                            socket_.lastErrno());
  socket_.setNoDelay(true);  // requests are single small frames
  reset();

  const int rememberedBus = currentBus_;
  currentBus_ = 0;
  CanMsg reply;
  LinkResult failure;
  if (request(controlFrame(kEthCtrlBusCount), reply, failure) && reply.len >= 1) {
    masterAnswered_ = true;
    if (Option_GetInt("ETH_OPEN_STARTSTOPDIALOG") && plcOpen_) plcOpen_();
    busCount_ = clampInt(int(reply.data[0] & 0xFF), 1, kMaxBuses);
    for (int bus = 0; bus < busCount_; ++bus) {
      currentBus_ = bus;
      baudCodes_[bus] = askMaster(kEthCtrlBusBaud, kUnansweredBaudCode);
    }
  } else {
    // A master that does not answer works as a plain bridge to one bus.
    busCount_ = 1;
    baudCodes_[0] = kUnansweredBaudCode;
  }
  currentBus_ = clampInt(rememberedBus, 0, busCount_ - 1);
  return {};
}

LinkResult EthMasterLink::close() {
  if (plcClose_) plcClose_();
  masterAnswered_ = false;
  socket_.close();
  input_.clear();
  illegalReported_ = false;
  return {};
}

LinkResult EthMasterLink::send(const CanMsg& msg) {
  uint8_t frame[kEthSendFrameMax];
  const size_t length = EthFrame_Encode(msg, currentBus_, frame);
  if (!socket_.sendAll(frame, length, kSendTimeoutMs))
    return LinkResult::Fail("Sending message failed, socket error #%d", socket_.lastErrno());
  return {};
}

LinkResult EthMasterLink::receive(CanMsg& msg, bool& got) {
  got = false;
  if (!socket_.isOpen()) return LinkResult::Fail("Server closed connection, socket error #%d", EBADF);
  int readsLeft = kMaxReadsPerReceive;
  for (;;) {
    LinkResult failure;
    const int filled = fillFrontFrame(readsLeft, failure);
    if (filled < 0) return failure;
    if (filled == 0) return {};  // a partial frame waits for the rest
    EthFrameIn frame;
    input_.pop(frame);
    illegalReported_ = false;
    // Module traffic of another bus is not ours; control replies are, whatever
    // their bus nibble. Frames already buffered behind it are looked at at once.
    if (!(frame.id & CANMSG_FLAG_CONTROL) && frame.bus() != currentBus_) continue;
    toCanMsg(frame, msg);
    got = true;
    return {};
  }
}

void EthMasterLink::reset() {
  input_.clear();
  illegalReported_ = false;
  if (!socket_.isOpen()) return;
  uint8_t scratch[1024];
  for (size_t drained = 0; drained < kMaxFlushBytes;) {
    const int n = socket_.readAvailable(scratch, sizeof scratch);
    if (n <= 0) break;
    drained += size_t(n);
  }
}

void EthMasterLink::applySettings() {
  setHostName(Option_GetString("ETHERNET_HOSTNAME"));
  setPort(Option_GetInt("ETHERNET_PORTNO"));
  setCanBusNo(Option_GetInt("ETHERNET_CANBUSNO"));
}

int EthMasterLink::bitRate() const { return BitRate_FromCode(busBaudCode(currentBus_)); }

std::string EthMasterLink::describe() const {
  std::string out = hostName_;
  char bus[32];
  std::snprintf(bus, sizeof bus, " (CAN %d", currentBus_);
  out += bus;
  const char* rate = BitRate_Text(busBaudCode(currentBus_));
  out += rate ? std::string(", ") + rate + ")" : std::string(", Baud=undef)");
  return out;
}

bool EthMasterLink::request(const CanMsg& request, CanMsg& reply, LinkResult& failure) {
  failure = send(request);
  if (!failure.ok()) return false;
  const int64_t deadline = Clock_NowMs() + kRequestWindowMs;
  for (;;) {
    CanMsg msg;
    bool got = false;
    failure = receive(msg, got);
    if (!failure.ok()) return false;
    if (got) {
      if (msg.id == request.id) {
        reply = msg;
        return true;
      }
      // Not the answer: the frame still belongs to the rest of the program.
      Interface_DeliverFrame(msg);
      continue;
    }
    if (Clock_NowMs() >= deadline) return false;
    if (Poll_WaitReadableUntil(socket_.fd(), deadline) < 0) return false;
  }
}

void EthMasterLink::setHostName(const char* name) {
  std::strncpy(hostName_, name ? name : "", sizeof(hostName_) - 1);
  hostName_[sizeof(hostName_) - 1] = '\0';
}

void EthMasterLink::setPort(int port) { port_ = clampInt(port, 0, 65535); }

void EthMasterLink::setCanBusNo(int bus) {
  const int last = busCount_ == 0 ? kMaxBuses - 1 : busCount_ - 1;
  currentBus_ = clampInt(bus, 0, last);
}

int EthMasterLink::busBaudCode(int bus) const {
  return bus >= 0 && bus < kMaxBuses ? baudCodes_[bus] : -1;
}

// ---- link operations on the session's link -----------------------------------

int EthMaster_Open() { return report(link().open()); }

int EthMaster_Close() { return report(link().close()); }

int EthMaster_Send(const CanMsg& msg) { return report(link().send(msg)); }

int EthMaster_Receive(CanMsg& msg, int& got) {
  bool delivered = false;
  const int result = report(link().receive(msg, delivered));
  got = delivered ? 1 : 0;
  return result;
}

void EthMaster_Flush() { link().reset(); }

int EthMaster_Descriptor() { return link().waitDescriptor(); }

void EthMaster_ApplySettings() { link().applySettings(); }

// ---- control frames ----------------------------------------------------------

int EthMaster_Request(const CanMsg& request, CanMsg& reply) {
  LinkResult failure;
  if (link().request(request, reply, failure)) return 1;
  if (!failure.ok()) report(failure);
  return 0;
}

int EthMaster_KeepAlive() { return EthMaster_Send(controlFrame(kEthCtrlKeepAlive)); }

int EthMaster_KeepAliveTick() {
  const int interval = Option_GetInt("TCPKEEPALIVE_SEND_INTERVAL_MS");
  if (GetInterfaceType() == kInterfaceEthernet && interval > 0) EthMaster_KeepAlive();
  return interval;
}

int EthMaster_SetRunState(int run) {
  CanMsg msg = controlFrame(kEthCtrlRunStateSet);
  msg.len = 1;
  msg.data[0] = run ? 1 : 0;
  return EthMaster_Send(msg);
}

int EthMaster_GetRunState() {
  CanMsg reply;
  if (EthMaster_Request(controlFrame(kEthCtrlRunStateQuery), reply) && reply.len >= 1)
    return int(reply.data[0] & 0xFF);
  return 255;
}

int EthMaster_SetLoggerForwarding(int running) {
  CanMsg msg = controlFrame(kEthCtrlLogger);
  msg.len = 1;
  msg.data[0] = running ? 3 : 0;
  return EthMaster_Send(msg);
}

// ---- settings ----------------------------------------------------------------

const char* EthMaster_GetHostName() { return link().hostName(); }
void EthMaster_SetHostName(const char* name) { link().setHostName(name); }
int EthMaster_GetPort() { return link().port(); }
void EthMaster_SetPort(int port) { link().setPort(port); }
int EthMaster_GetCanBusNo() { return link().canBusNo(); }
void EthMaster_SetCanBusNo(int bus) { link().setCanBusNo(bus); }
int EthMaster_GetCanBusCount() { return link().canBusCount(); }
int EthMaster_GetBusBaudCode(int bus) { return link().busBaudCode(bus); }
bool EthMaster_IsMasterAnswering() { return link().masterAnswering(); }
int EthMaster_BitRate() { return link().bitRate(); }

// ---- hooks -------------------------------------------------------------------

void EthMaster_SetPlcDialogHooks(void (*open)(), void (*close)()) {
  link().setPlcDialogHooks(open, close);
}

void EthMaster_SetIllegalLengthHook(void (*hook)()) { link().setIllegalLengthHook(hook); }
