// The interface layer: exactly one interface (or none) is active at a time. It
// opens and closes the interface's link, sends frames, drains received frames
// into per-node reply mailboxes (and to the CAN logger while it records) and
// offers the blocking request/reply on which the module protocol rests.
// Results: 0 ok, -1 failed with a text for GetInterfaceError. The layer never
// shows anything itself. Its state is a part of the current session; these
// functions work on it.
#pragma once

#include <memory>

#include "core/CanMsg.h"

class Link;

// Interface types, as in the interface table.
enum : int {
  kInterfaceNone = 0,
  kInterfacePcanUsb = 1,
  kInterfaceEthernet = 2,
  kInterfaceModbus = 3,
  kInterfaceLin = 4,
};

// ---- the interface table (fixed rows, in menu order) ----------------------
int InterfaceTable_Count();
int InterfaceTable_Type(int row);          // -1 for a row outside the table
const char* InterfaceTable_Name(int row);  // "" outside the table
const char* InterfaceTable_MenuItem(int row);
char InterfaceTable_BusLetter(int row);
bool InterfaceTable_IsActive(int row);     // the row of the active interface

// ---- the active interface --------------------------------------------------
// Closed: no interface (at start, or after a close); Open: the interface of
// GetInterfaceType() is open; Failed: the last open failed (no interface is
// active and GetInterfaceError() says why).
enum class InterfaceState { Closed, Open, Failed };
InterfaceState GetInterfaceState();

// An empty name (or nullptr) means "None". Selecting the active one does nothing.
int OpenInterface(const char* name);
int CloseInterface();
int GetInterfaceType();
bool InterfaceActive();
const char* GetInterfaceName();  // "None" when none is active
char GetBusLetter();
// Node ids the active interface can address, 0 .. Interface_NodeCount() - 1:
// 128 on a CAN bus (nothing active counts as one), 256 on a Modbus line,
// whose slave address byte reaches modules given a node above 127.
int Interface_NodeCount();
const char* BusName(char letter);  // "CAN", "LIN", "Modbus" or "?Bus"

// Hands the options' link settings to the links and clears all received input.
void ApplyLinkSettings();

// ---- frames ----------------------------------------------------------------
int SendCanMsg(const CanMsg& msg);
// Drains the link into the mailboxes (and the logger).
int PollReceive();
// 1 when a stored frame from id's node with data[0] == command was taken into out.
int FetchReply(uint32_t id, int command, CanMsg& out);
// Discards stored frames of id's node with that command byte (-1: all of them).
void FlushReplies(uint32_t id, int command);
// Clears the link's input and all mailboxes.
void ResetReceive();
// Sends msg and waits up to MSGREQUEST_TIMEOUT_MS for the reply from id's node
// with the same command byte, which then replaces the request in msg.
int RequestReply(uint32_t id, int command, CanMsg& msg);

// ---- texts -----------------------------------------------------------------
void SetInterfaceError(const char* format, ...) __attribute__((format(printf, 1, 2)));
const char* GetInterfaceError();
// Bit rate of the active interface in bit/s (0 when unknown or none).
int GetCanBitrate();
// One line describing the active interface; the buffer is shared and is
// overwritten by the next call.
const char* GetInterfaceDescription();

// ---- the CAN logger --------------------------------------------------------
// While a receiver is installed (the logger records), every frame the layer
// receives is handed to it before it is sorted into the mailboxes.
using ReceivedFrameFn = void (*)(const CanMsg& msg);
void Interface_SetFrameLogger(ReceivedFrameFn fn);
bool Interface_LoggerRecording();

// A frame a link took off the wire outside PollReceive (the Ethernet master's
// control requests): logged and stored like any other.
void Interface_DeliverFrame(const CanMsg& msg);

// ---- links -------------------------------------------------------------------
// The link behind an interface type (types 1..4), or nullptr.
Link* Interface_Link(int type);
// Replaces the link behind an interface type (a fake adapter in tests, say);
// nullptr restores the built-in one. The layer owns the link; an interface
// that is open on the old link is closed first.
void Interface_InstallLink(int type, std::unique_ptr<Link> link);
// Frames stored for a node (diagnostics and tests).
int Interface_StoredFrames(int node);
