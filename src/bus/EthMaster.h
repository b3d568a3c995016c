// The Ethernet bus master link ("KVX Master (Ethernet)"): a TCP client to the
// master, which bridges the stream to up to eight CAN buses. Besides CAN frames
// the stream carries the master's control frames (identifier bit 31): bus
// count and bit-rate queries, keep-alive, forwarding for the CAN logger and
// the PLC run state. Results are 0 / -1 unless stated; failures leave their
// text with SetInterfaceError.
#pragma once

#include <cstdint>

#include "bus/EthFrame.h"
#include "bus/Link.h"
#include "core/CanMsg.h"
#include "platform/Tcp.h"

// The link object; the program's one instance is a part of the session,
// reached through the EthMaster_* functions below.
class EthMasterLink : public Link {
 public:
  static constexpr int kDefaultPort = 1664;
  static constexpr int kMaxBuses = 8;
  static constexpr int kUnansweredBaudCode = 4;  // 125 kbit/s

  ~EthMasterLink() override;

  // Connects to host:port and learns the master's buses.
  LinkResult open() override;
  // Closes the PLC dialog, forgets that the master answered, closes the socket.
  LinkResult close() override;
  // Sends one frame on the current bus.
  LinkResult send(const CanMsg& msg) override;
  // Delivers at most one received frame of the current bus (or a control
  // frame), never waits.
  LinkResult receive(CanMsg& msg, bool& got) override;
  // Drops the partly assembled frame and everything pending on the socket.
  void reset() override;
  int waitDescriptor() const override { return socket_.fd(); }
  // Takes ETHERNET_HOSTNAME, ETHERNET_PORTNO and ETHERNET_CANBUSNO from the options.
  void applySettings() override;
  int bitRate() const override;
  std::string describe() const override;

  // Sends a control frame and waits about 0.9 s for the frame with the same
  // identifier; true with the reply. Other frames that arrive meanwhile go to
  // the interface layer as if it had received them itself.
  bool request(const CanMsg& request, CanMsg& reply, LinkResult& failure);

  const char* hostName() const { return hostName_; }
  void setHostName(const char* name);
  int port() const { return port_; }
  void setPort(int port);
  int canBusNo() const { return currentBus_; }
  void setCanBusNo(int bus);
  int canBusCount() const { return busCount_; }
  int busBaudCode(int bus) const;
  bool masterAnswering() const { return masterAnswered_; }

  void setPlcDialogHooks(void (*open)(), void (*close)()) {
    plcOpen_ = open;
    plcClose_ = close;
  }
  void setIllegalLengthHook(void (*hook)()) { illegalLengthHook_ = hook; }

 private:
  void checkFrontLength();
  int fillFrontFrame(int& readsLeft, LinkResult& failure);
  int askMaster(uint32_t id, int fallback);

  char hostName_[256] = "";
  int port_ = kDefaultPort;
  int currentBus_ = 0;
  int busCount_ = 0;
  int baudCodes_[kMaxBuses] = {4, 4, 4, 4, 4, 4, 4, 4};
  bool masterAnswered_ = false;
  TcpSocket socket_;
  EthStreamBuffer input_;
  bool illegalReported_ = false;  // the front frame's bad length was reported
  void (*plcOpen_)() = nullptr;
  void (*plcClose_)() = nullptr;
  void (*illegalLengthHook_)() = nullptr;
};

// ---- link operations on the session's link ----------------------------------
int EthMaster_Open();
// Always 0.
int EthMaster_Close();
int EthMaster_Send(const CanMsg& msg);
// Delivers at most one received frame, never waits (got = 1 when delivered).
int EthMaster_Receive(CanMsg& msg, int& got);
void EthMaster_Flush();
// The socket descriptor to wait on for input, -1 when not connected.
int EthMaster_Descriptor();
void EthMaster_ApplySettings();

// ---- control frames ----------------------------------------------------------
// Sends a control frame and waits about 0.9 s for the frame with the same
// identifier. 1 with the reply in reply, else 0. Other frames that arrive
// meanwhile go to the interface layer as if it had received them itself.
int EthMaster_Request(const CanMsg& request, CanMsg& reply);
// Sends the keep-alive frame 0x80000000.
int EthMaster_KeepAlive();
// The main window's keep-alive tick: sends the keep-alive when the Ethernet
// master is the active interface and TCPKEEPALIVE_SEND_INTERVAL_MS is above 0.
// Returns the option's current value, the period to restart the timer with.
int EthMaster_KeepAliveTick();
// Starts (non-zero) or stops the master's PLC program.
int EthMaster_SetRunState(int run);
// The master's PLC run state 0..254, or 255 when it gave no answer.
int EthMaster_GetRunState();
// Tells the master whether the CAN logger is running (forwarding value 3 or 0).
int EthMaster_SetLoggerForwarding(int running);

// ---- settings and what the master reported -----------------------------------
const char* EthMaster_GetHostName();
void EthMaster_SetHostName(const char* name);  // at most 255 characters are kept
int EthMaster_GetPort();
void EthMaster_SetPort(int port);  // clamped to 0..65535
int EthMaster_GetCanBusNo();
// Clamped to 0..bus count - 1. Before the first connection (bus count 0) any
// bus 0..7 is kept, and the connection then clamps it to the buses reported.
void EthMaster_SetCanBusNo(int bus);
int EthMaster_GetCanBusCount();     // 0 until the first connection, then 1..8
int EthMaster_GetBusBaudCode(int bus);  // 4 where the master did not answer; -1 outside 0..7
// Set while the master answered its bus-count query on connecting.
bool EthMaster_IsMasterAnswering();
// The current bus's bit rate in bit/s (0 for an unknown code).
int EthMaster_BitRate();

// ---- hooks for the layers above ------------------------------------------------
// The PLC start/stop dialog: opened after connecting when ETH_OPEN_STARTSTOPDIALOG
// is set and the master answered; closed when the link closes.
void EthMaster_SetPlcDialogHooks(void (*open)(), void (*close)());
// The CAN logger's update-recording step, run when a frame with a length
// nibble above 8 arrives.
void EthMaster_SetIllegalLengthHook(void (*hook)());
