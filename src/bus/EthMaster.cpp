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
#include "platform/Clock.h"
#include "platform/Poll.h"
#include "platform/Tcp.h"

namespace {

constexpr int kDefaultPort = 1664;
constexpr int kMaxBuses = 8;
constexpr int kUnansweredBaudCode = 4;  // 125 kbit/s
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

struct EthMasterState {
  char hostName[256] = "";
  int port = kDefaultPort;
  int currentBus = 0;
  int busCount = 0;
  int baudCodes[kMaxBuses] = {4, 4, 4, 4, 4, 4, 4, 4};
  bool masterAnswered = false;
  TcpSocket socket;
  EthStreamBuffer input;
  bool illegalReported = false;  // the front frame's bad length was reported
  void (*plcOpen)() = nullptr;
  void (*plcClose)() = nullptr;
  void (*illegalLengthHook)() = nullptr;
};

EthMasterState& state() {
  static EthMasterState s;
  return s;
}

int clampInt(int value, int low, int high) { return value < low ? low : value > high ? high : value; }

// Wait cursor for the connection set-up, restored on every way out.
struct WaitCursor {
  WaitCursor() { SetWaitCursor(1); }
  ~WaitCursor() { SetWaitCursor(0); }
};

// A length nibble above 8 is reported once per frame, as soon as its header is in.
void checkFrontLength(EthMasterState& s) {
  const int lengthByte = s.input.frontLengthByte();
  if (lengthByte < 0 || (lengthByte & 15) <= 8 || s.illegalReported) return;
  s.illegalReported = true;
  ShowError("Received message with illegal length (%d)\nlogger stopped.", lengthByte);
  if (s.illegalLengthHook) s.illegalLengthHook();
}

// Reads what the socket holds until the front frame is complete. 1 = complete,
// 0 = incomplete (nothing more pending or the read budget spent), -1 = error.
int fillFrontFrame(EthMasterState& s, int& readsLeft) {
  for (;;) {
    checkFrontLength(s);
    if (s.input.frontComplete()) return 1;
    if (readsLeft <= 0) return 0;
    --readsLeft;
    size_t room = 0;
    uint8_t* at = s.input.space(room);
    const int n = s.socket.readAvailable(at, room);
    if (n == 0) return 0;
    if (n == TcpSocket::kPeerClosed) {
      SetInterfaceError("Server closed connection, socket error #%d", s.socket.pendingError());
      return -1;
    }
    if (n < 0) {
      SetInterfaceError("Can't recv message, socket error #%d", s.socket.lastErrno());
      return -1;
    }
    s.input.commit(size_t(n));
  }
}

void toCanMsg(const EthFrameIn& frame, CanMsg& msg) {
  msg.time = frame.stamp != 0 ? frame.stamp : uint32_t(Clock_NowMs());
  msg.id = frame.id;
  msg.len = uint32_t(frame.lengthNibble() > 8 ? 8 : frame.lengthNibble());
  for (uint32_t i = 0; i < 8; ++i) msg.data[i] = i < msg.len ? frame.data[i] : 0;
}

CanMsg controlFrame(uint32_t id) {
  CanMsg msg;
  msg.id = id;
  return msg;
}

// Asks one control question on the given bus; the answer's first data byte, or fallback.
int askMaster(uint32_t id, int fallback) {
  CanMsg reply;
  if (EthMaster_Request(controlFrame(id), reply) && reply.len >= 1) return int(reply.data[0] & 0xFF);
  return fallback;
}

int linkReceive(CanMsg& msg, int& got) { return EthMaster_Receive(msg, got); }
void linkReset() { EthMaster_Flush(); }
void linkDescribe(std::string& out) {
  const EthMasterState& s = state();
  out = s.hostName;
  char bus[32];
  std::snprintf(bus, sizeof bus, " (CAN %d", s.currentBus);
  out += bus;
  const char* rate = BitRate_Text(EthMaster_GetBusBaudCode(s.currentBus));
  out += rate ? std::string(", ") + rate + ")" : std::string(", Baud=undef)");
}

}  // namespace

const BusLink kEthMasterLink = {
    .open = EthMaster_Open,
    .close = EthMaster_Close,
    .send = EthMaster_Send,
    .receive = linkReceive,
    .reset = linkReset,
    .waitDescriptor = EthMaster_Descriptor,
    .applySettings = EthMaster_ApplySettings,
    .bitRate = EthMaster_BitRate,
    .describe = linkDescribe,
};

// ---- link operations ---------------------------------------------------------

int EthMaster_Open() {
  EthMasterState& s = state();
  s.masterAnswered = false;
  if (s.socket.isOpen()) EthMaster_Close();
  if (s.hostName[0] == '\0') {
    SetInterfaceError("No hostname\nfor the KVX master");
    return -1;
  }

  WaitCursor cursor;
  uint32_t address = 0;
  if (!Tcp_ResolveIPv4(s.hostName, &address, nullptr)) {
    SetInterfaceError("Can't resolve host '%s'", s.hostName);
    return -1;
  }
  if (!s.socket.create()) {
    SetInterfaceError("Can't create socket, socket() error #%d", s.socket.lastErrno());
    return -1;
  }
  // The system's own connect time-out applies; a failed connect closes the socket.
  if (!s.socket.connect(address, uint16_t(s.port), -1)) {
    SetInterfaceError("Can't connect to host '%s'\nconnect() error #%d", s.hostName,
                      s.socket.lastErrno());
    return -1;
  }
  s.socket.setNoDelay(true);  // requests are single small frames
  EthMaster_Flush();

  const int rememberedBus = s.currentBus;
  s.currentBus = 0;
  CanMsg reply;
  if (EthMaster_Request(controlFrame(kEthCtrlBusCount), reply) && reply.len >= 1) {
    s.masterAnswered = true;
    if (Option_GetInt("ETH_OPEN_STARTSTOPDIALOG") && s.plcOpen) s.plcOpen();
    s.busCount = clampInt(int(reply.data[0] & 0xFF), 1, kMaxBuses);
    for (int bus = 0; bus < s.busCount; ++bus) {
      s.currentBus = bus;
      s.baudCodes[bus] = askMaster(kEthCtrlBusBaud, kUnansweredBaudCode);
    }
  } else {
    // A master that does not answer works as a plain bridge to one bus.
    s.busCount = 1;
    s.baudCodes[0] = kUnansweredBaudCode;
  }
  s.currentBus = clampInt(rememberedBus, 0, s.busCount - 1);
  return 0;
}

int EthMaster_Close() {
  EthMasterState& s = state();
  if (s.plcClose) s.plcClose();
  s.masterAnswered = false;
  s.socket.close();
  s.input.clear();
  s.illegalReported = false;
  return 0;
}

int EthMaster_Send(const CanMsg& msg) {
  EthMasterState& s = state();
  uint8_t frame[kEthSendFrameMax];
  const size_t length = EthFrame_Encode(msg, s.currentBus, frame);
  if (!s.socket.sendAll(frame, length, kSendTimeoutMs)) {
    SetInterfaceError("Sending message failed, socket error #%d", s.socket.lastErrno());
    return -1;
  }
  return 0;
}

int EthMaster_Receive(CanMsg& msg, int& got) {
  EthMasterState& s = state();
  got = 0;
  if (!s.socket.isOpen()) {
    SetInterfaceError("Server closed connection, socket error #%d", EBADF);
    return -1;
  }
  int readsLeft = kMaxReadsPerReceive;
  for (;;) {
    const int filled = fillFrontFrame(s, readsLeft);
    if (filled < 0) return -1;
    if (filled == 0) return 0;  // a partial frame waits for the rest
    EthFrameIn frame;
    s.input.pop(frame);
    s.illegalReported = false;
    // Module traffic of another bus is not ours; control replies are, whatever
    // their bus nibble. Frames already buffered behind it are looked at at once.
    if (!(frame.id & CANMSG_FLAG_CONTROL) && frame.bus() != s.currentBus) continue;
    toCanMsg(frame, msg);
    got = 1;
    return 0;
  }
}

void EthMaster_Flush() {
  EthMasterState& s = state();
  s.input.clear();
  s.illegalReported = false;
  if (!s.socket.isOpen()) return;
  uint8_t scratch[1024];
  for (size_t drained = 0; drained < kMaxFlushBytes;) {
    const int n = s.socket.readAvailable(scratch, sizeof scratch);
    if (n <= 0) break;
    drained += size_t(n);
  }
}

int EthMaster_Descriptor() { return state().socket.fd(); }

void EthMaster_ApplySettings() {
  EthMaster_SetHostName(Option_GetString("ETHERNET_HOSTNAME"));
  EthMaster_SetPort(Option_GetInt("ETHERNET_PORTNO"));
  EthMaster_SetCanBusNo(Option_GetInt("ETHERNET_CANBUSNO"));
}

// ---- control frames ----------------------------------------------------------

int EthMaster_Request(const CanMsg& request, CanMsg& reply) {
  EthMasterState& s = state();
  if (EthMaster_Send(request) != 0) return 0;
  const int64_t deadline = Clock_NowMs() + kRequestWindowMs;
  for (;;) {
    CanMsg msg;
    int got = 0;
    if (EthMaster_Receive(msg, got) != 0) return 0;
    if (got) {
      if (msg.id == request.id) {
        reply = msg;
        return 1;
      }
      // Not the answer: the frame still belongs to the rest of the program.
      Interface_DeliverFrame(msg);
      continue;
    }
    if (Clock_NowMs() >= deadline) return 0;
    if (Poll_WaitReadableUntil(s.socket.fd(), deadline) < 0) return 0;
  }
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

int EthMaster_GetRunState() { return askMaster(kEthCtrlRunStateQuery, 255); }

int EthMaster_SetLoggerForwarding(int running) {
  CanMsg msg = controlFrame(kEthCtrlLogger);
  msg.len = 1;
  msg.data[0] = running ? 3 : 0;
  return EthMaster_Send(msg);
}

// ---- settings ----------------------------------------------------------------

const char* EthMaster_GetHostName() { return state().hostName; }

void EthMaster_SetHostName(const char* name) {
  char* host = state().hostName;
  std::strncpy(host, name ? name : "", sizeof(state().hostName) - 1);
  host[sizeof(state().hostName) - 1] = '\0';
}

int EthMaster_GetPort() { return state().port; }

void EthMaster_SetPort(int port) { state().port = clampInt(port, 0, 65535); }

int EthMaster_GetCanBusNo() { return state().currentBus; }

void EthMaster_SetCanBusNo(int bus) {
  EthMasterState& s = state();
  const int last = s.busCount == 0 ? kMaxBuses - 1 : s.busCount - 1;
  s.currentBus = clampInt(bus, 0, last);
}

int EthMaster_GetCanBusCount() { return state().busCount; }

int EthMaster_GetBusBaudCode(int bus) {
  return bus >= 0 && bus < kMaxBuses ? state().baudCodes[bus] : -1;
}

bool EthMaster_IsMasterAnswering() { return state().masterAnswered; }

int EthMaster_BitRate() { return BitRate_FromCode(EthMaster_GetBusBaudCode(state().currentBus)); }

// ---- hooks -------------------------------------------------------------------

void EthMaster_SetPlcDialogHooks(void (*open)(), void (*close)()) {
  state().plcOpen = open;
  state().plcClose = close;
}

void EthMaster_SetIllegalLengthHook(void (*hook)()) { state().illegalLengthHook = hook; }

void EthMaster_ResetForTest() {
  EthMasterState& s = state();
  s.socket.close();
  s.input.clear();
  s.illegalReported = false;
  s.hostName[0] = '\0';
  s.port = kDefaultPort;
  s.currentBus = 0;
  s.busCount = 0;
  for (int& code : s.baudCodes) code = kUnansweredBaudCode;
  s.masterAnswered = false;
  s.plcOpen = s.plcClose = nullptr;
  s.illegalLengthHook = nullptr;
}
