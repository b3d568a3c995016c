// The Ethernet bus master link ("KVX Master (Ethernet)"): a TCP client to the
// master, which bridges the stream to up to eight CAN buses. Besides CAN frames
// the stream carries the master's control frames (identifier bit 31): bus
// count and bit-rate queries, keep-alive, forwarding for the CAN logger and
// the PLC run state. Results are 0 / -1 unless stated; failures leave their
// text with SetInterfaceError.
#pragma once

#include "core/CanMsg.h"

struct BusLink;

// ---- link operations (called by the interface layer) -----------------------
// Connects to host:port and learns the master's buses.
int EthMaster_Open();
// Closes the PLC dialog, forgets that the master answered, closes the socket. Always 0.
int EthMaster_Close();
// Sends one frame on the current bus.
int EthMaster_Send(const CanMsg& msg);
// Delivers at most one received frame, never waits (got = 1 when delivered).
int EthMaster_Receive(CanMsg& msg, int& got);
// Drops the partly assembled frame and everything pending on the socket.
void EthMaster_Flush();
// The socket descriptor to wait on for input, -1 when not connected.
int EthMaster_Descriptor();
// Takes ETHERNET_HOSTNAME, ETHERNET_PORTNO and ETHERNET_CANBUSNO from the options.
void EthMaster_ApplySettings();

extern const BusLink kEthMasterLink;

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

// Test support: closes the socket and restores the state at program start.
void EthMaster_ResetForTest();
