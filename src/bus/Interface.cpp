#include "bus/Interface.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "bus/BuiltInLinks.h"
#include "bus/Link.h"
#include "bus/Mailbox.h"
#include "bus/SpinLock.h"
#include "core/Options.h"
#include "platform/Clock.h"
#include "platform/Poll.h"

namespace {

struct InterfaceRow {
  int type;
  const char* name;
  char busLetter;
  const char* menuItem;
};

constexpr InterfaceRow kRows[] = {
    {kInterfaceNone, "None", '-', "&None"},
    {kInterfacePcanUsb, "PCAN USB", 'c', "&PCAN USB (CAN)"},
    {kInterfaceEthernet, "KVX Master (Ethernet)", 'c', "KVX Master (&Ethernet)"},
    {kInterfaceModbus, "Modbus (Serial)", 'm', "&Modbus (Serial)"},
    {kInterfaceLin, "LIN Adapter", 'l', "&LIN Adapter"},
};
constexpr int kRowCount = int(sizeof(kRows) / sizeof(kRows[0]));
constexpr int kLinkTypes = 5;  // 1..4 used

// A PollReceive pass takes at most this many frames, so that a peer flooding
// the link cannot hold the GUI thread; the rest waits for the next pass.
constexpr int kMaxFramesPerPoll = 4096;

int g_type = kInterfaceNone;
char g_error[1024] = "";
SpinFlag g_linkLocks[kLinkTypes];
ReplyMailboxes g_mailboxes;
const BusLink* g_installed[kLinkTypes] = {};
ReceivedFrameFn g_frameLogger = nullptr;
std::string g_description;

const BusLink* linkFor(int type) {
  if (type < 1 || type >= kLinkTypes) return nullptr;
  return g_installed[type] ? g_installed[type] : BuiltInLink(type);
}

int rowOfType(int type) {
  for (int row = 0; row < kRowCount; ++row)
    if (kRows[row].type == type) return row;
  return 0;
}

// Node id of a module protocol identifier, -1 outside base .. base + 127. A
// word with any of the flag bits 29..31 is never a module frame.
int nodeOf(uint32_t id, int base) {
  if (id & 0xE0000000u) return -1;
  const int64_t node = int64_t(id) - base;
  return node >= 0 && node < ReplyMailboxes::kNodes ? int(node) : -1;
}

void deliver(const CanMsg& msg, int base) {
  if (g_frameLogger) g_frameLogger(msg);
  const int node = nodeOf(msg.id, base);
  if (node >= 0) g_mailboxes.store(node, msg);
}

// One PollReceive pass; drained is false when the pass stopped at its frame
// limit with input possibly still buffered in the link.
int drainLink(bool& drained) {
  drained = true;
  const BusLink* link = linkFor(g_type);
  if (!link) {
    SetInterfaceError("No interface active");
    return -1;
  }
  const int base = Option_GetInt("VORN_PROT_BASE_ID");
  for (int taken = 0; taken < kMaxFramesPerPoll; ++taken) {
    CanMsg msg{};
    int got = 0;
    int result;
    {
      SpinGuard guard(g_linkLocks[g_type]);
      result = link->receive(msg, got);
    }
    if (result != 0) return -1;
    if (!got) return 0;
    deliver(msg, base);
  }
  drained = false;
  return 0;
}

// Waits, without spinning, until the active link may have input or the clock
// reaches untilMs.
void waitForInput(int64_t untilMs) {
  const BusLink* link = linkFor(g_type);
  const int fd = link && link->waitDescriptor ? link->waitDescriptor() : -1;
  if (fd >= 0 && Poll_WaitReadableUntil(fd, untilMs) >= 0) return;
  // No descriptor to wait on: look again in a millisecond.
  const int64_t left = untilMs - Clock_NowMs();
  Clock_SleepMs(left < 1 ? left : 1);
}

void presetOptionsFor(int type) {
  const bool adapter = type == kInterfacePcanUsb;
  Option_SetInt("SCAN_FLASHMODE", adapter ? 1 : 0);
  Option_SetInt("SCAN_SEND_INTERVAL_MS", adapter ? 10 : 100);
  Option_SetInt("PROGRAM_SEND_SYNC", adapter ? 0 : 1);
}

}  // namespace

// ---- the interface table ---------------------------------------------------

int InterfaceTable_Count() { return kRowCount; }

int InterfaceTable_Type(int row) { return row >= 0 && row < kRowCount ? kRows[row].type : -1; }

const char* InterfaceTable_Name(int row) {
  return row >= 0 && row < kRowCount ? kRows[row].name : "";
}

const char* InterfaceTable_MenuItem(int row) {
  return row >= 0 && row < kRowCount ? kRows[row].menuItem : "";
}

char InterfaceTable_BusLetter(int row) {
  return row >= 0 && row < kRowCount ? kRows[row].busLetter : '-';
}

bool InterfaceTable_IsActive(int row) {
  return row >= 0 && row < kRowCount && kRows[row].type == g_type;
}

// ---- the active interface --------------------------------------------------

int OpenInterface(const char* name) {
  if (!name || !*name) name = "None";
  int row = 0;
  while (row < kRowCount && std::strcmp(kRows[row].name, name) != 0) ++row;
  if (row == kRowCount) {
    SetInterfaceError("Unknown interface '%s'", name);
    return -1;
  }
  const int type = kRows[row].type;
  if (type == g_type) return 0;
  if (g_type != kInterfaceNone && CloseInterface() != 0) return -1;
  ResetReceive();
  if (type == kInterfaceNone) return 0;

  const BusLink* link = linkFor(type);
  if (!link) {
    SetInterfaceError("Unknown interface type %d\nin OpenInterface()", type);
    return -1;
  }
  if (link->open() != 0) return -1;
  g_type = type;
  if (Option_GetInt("AUTO_INTERF_SET")) presetOptionsFor(type);
  return 0;
}

int CloseInterface() {
  if (g_type != kInterfaceNone) {
    const BusLink* link = linkFor(g_type);
    if (link && link->close() != 0) return -1;
    g_type = kInterfaceNone;
  }
  ResetReceive();
  return 0;
}

int GetInterfaceType() { return g_type; }

bool InterfaceActive() { return g_type != kInterfaceNone; }

const char* GetInterfaceName() { return kRows[rowOfType(g_type)].name; }

char GetBusLetter() { return kRows[rowOfType(g_type)].busLetter; }

const char* BusName(char letter) {
  switch (letter) {
    case 'c': return "CAN";
    case 'l': return "LIN";
    case 'm': return "Modbus";
    default: return "?Bus";
  }
}

void ApplyLinkSettings() {
  for (int type = 1; type < kLinkTypes; ++type) {
    const BusLink* link = linkFor(type);
    if (link && link->applySettings) link->applySettings();
  }
  g_mailboxes.releaseLocks();
  ResetReceive();
}

// ---- frames ----------------------------------------------------------------

int SendCanMsg(const CanMsg& msg) {
  const BusLink* link = linkFor(g_type);
  if (!link) {
    SetInterfaceError("No interface active");
    return -1;
  }
  SpinGuard guard(g_linkLocks[g_type]);
  return link->send(msg) == 0 ? 0 : -1;
}

int PollReceive() {
  bool drained;
  return drainLink(drained);
}

int FetchReply(uint32_t id, int command, CanMsg& out) {
  const int node = nodeOf(id, Option_GetInt("VORN_PROT_BASE_ID"));
  if (node < 0) return 0;
  return g_mailboxes.fetch(node, command, out) ? 1 : 0;
}

void FlushReplies(uint32_t id, int command) {
  const int node = nodeOf(id, Option_GetInt("VORN_PROT_BASE_ID"));
  if (node < 0) return;
  PollReceive();  // nothing already received may escape the flush
  g_mailboxes.flush(node, command < 0 ? -1 : command);
}

void ResetReceive() {
  const BusLink* link = linkFor(g_type);
  if (link) {
    SpinGuard guard(g_linkLocks[g_type]);
    link->reset();
  }
  g_mailboxes.clear();
}

int RequestReply(uint32_t id, int command, CanMsg& msg) {
  FlushReplies(id, command);
  if (SendCanMsg(msg) != 0) return -1;
  const int64_t deadline = Clock_NowMs() + Option_GetInt("MSGREQUEST_TIMEOUT_MS");
  for (;;) {
    bool drained;
    if (drainLink(drained) < 0) return -1;
    if (FetchReply(id, command, msg)) return 0;
    if (Clock_NowMs() > deadline) {
      SetInterfaceError("Module timeout");
      return -1;
    }
    // The reply is due by the first millisecond after the deadline.
    if (drained) waitForInput(deadline + 1);
  }
}

// ---- texts -----------------------------------------------------------------

void SetInterfaceError(const char* format, ...) {
  // Formatted aside first: the arguments may point into the current text.
  char text[sizeof(g_error)];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof(text), format, args);
  va_end(args);
  std::memcpy(g_error, text, sizeof(g_error));
}

const char* GetInterfaceError() { return g_error; }

int GetCanBitrate() {
  const BusLink* link = linkFor(g_type);
  return link && link->bitRate ? link->bitRate() : 0;
}

const char* GetInterfaceDescription() {
  g_description.clear();
  const BusLink* link = linkFor(g_type);
  if (link && link->describe) link->describe(g_description);
  return g_description.c_str();
}

// ---- the CAN logger --------------------------------------------------------

void Interface_SetFrameLogger(ReceivedFrameFn fn) { g_frameLogger = fn; }

bool Interface_LoggerRecording() { return g_frameLogger != nullptr; }

void Interface_DeliverFrame(const CanMsg& msg) {
  deliver(msg, Option_GetInt("VORN_PROT_BASE_ID"));
}

// ---- links and tests -------------------------------------------------------

void Interface_InstallLink(int type, const BusLink* link) {
  if (type >= 1 && type < kLinkTypes) g_installed[type] = link;
}

void Interface_ResetForTest() {
  if (const BusLink* link = linkFor(g_type)) link->close();
  g_type = kInterfaceNone;
  for (auto& installed : g_installed) installed = nullptr;
  for (auto& lock : g_linkLocks) lock.release();
  g_mailboxes.releaseLocks();
  g_mailboxes.clear();
  g_frameLogger = nullptr;
  g_error[0] = '\0';
  g_description.clear();
}

int Interface_StoredFrames(int node) { return g_mailboxes.count(node); }
