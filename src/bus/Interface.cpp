#include "bus/Interface.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "bus/BuiltInLinks.h"
#include "bus/Link.h"
#include "bus/Mailbox.h"
#include "core/Options.h"
#include "core/Session.h"
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

// Everything runs on the GUI thread and no link delivers frames from another
// thread, so the layer needs no locks: a lock that can never contend would
// only add the risk of a call from inside a link deadlocking on it.
struct InterfaceLayer {
  InterfaceLayer() {
    // The built-in links are made first: they outlive the layer, which closes
    // the active one when the session ends.
    for (int type = 1; type < kLinkTypes; ++type) builtIn[type] = &BuiltInLink(type);
  }
  ~InterfaceLayer() {
    if (Link* link = active()) link->close();
  }

  Link* link(int t) const {
    if (t < 1 || t >= kLinkTypes) return nullptr;
    return installed[t] ? installed[t].get() : builtIn[t];
  }
  Link* active() const { return link(type); }
  // Keeps a failed operation's text for GetInterfaceError; -1 on failure.
  int check(const LinkResult& result) {
    if (result.ok()) return 0;
    error = result.text;
    return -1;
  }

  int type = kInterfaceNone;
  InterfaceState state = InterfaceState::Closed;
  std::string error;
  Link* builtIn[kLinkTypes] = {};
  std::unique_ptr<Link> installed[kLinkTypes];
  ReplyMailboxes mailboxes;
  ReceivedFrameFn frameLogger = nullptr;
  std::string description;
};

InterfaceLayer& layer() { return Session_Part<InterfaceLayer>(); }

int rowOfType(int type) {
  for (int row = 0; row < kRowCount; ++row)
    if (kRows[row].type == type) return row;
  return 0;
}

// Node ids the active link addresses: base .. base + 127 on a CAN bus, where
// the identifiers above belong to other traffic; a whole address byte on a
// Modbus line.
int nodeCount(const InterfaceLayer& l) {
  const Link* link = l.active();
  const int count = link ? link->nodeCount() : 128;
  return count < 1 ? 1 : count > ReplyMailboxes::kNodes ? ReplyMailboxes::kNodes : count;
}

// Node id of a module protocol identifier, -1 outside the active link's node
// range. A word with any of the flag bits 29..31 is never a module frame.
int nodeOf(uint32_t id, int base) {
  if (id & 0xE0000000u) return -1;
  const int64_t node = int64_t(id) - base;
  return node >= 0 && node < nodeCount(layer()) ? int(node) : -1;
}

void deliver(InterfaceLayer& l, const CanMsg& msg, int base) {
  if (l.frameLogger) l.frameLogger(msg);
  const int node = nodeOf(msg.id, base);
  if (node >= 0) l.mailboxes.store(node, msg);
}

// One PollReceive pass; drained is false when the pass stopped at its frame
// limit with input possibly still buffered in the link.
int drainLink(bool& drained) {
  drained = true;
  InterfaceLayer& l = layer();
  Link* link = l.active();
  if (!link) {
    SetInterfaceError("No interface active");
    return -1;
  }
  const int base = Option_GetInt("VORN_PROT_BASE_ID");
  for (int taken = 0; taken < kMaxFramesPerPoll; ++taken) {
    CanMsg msg{};
    bool got = false;
    if (l.check(link->receive(msg, got)) != 0) return -1;
    if (!got) return 0;
    deliver(l, msg, base);
  }
  drained = false;
  return 0;
}

// Waits, without spinning, until the active link may have input or the clock
// reaches untilMs. realBudgetMs is the real time a peer that runs apart may
// still have under a manual clock (-1 under the system clock).
void waitForInput(int64_t untilMs, int& realBudgetMs) {
  Link* link = layer().active();
  const int fd = link ? link->waitDescriptor() : -1;
  if (fd >= 0 && Poll_WaitReadableUntil(fd, untilMs) >= 0) return;
  // No descriptor to wait on: look again in a millisecond.
  const int64_t left = untilMs - Clock_NowMs();
  if (link && link->peerRunsApart() && realBudgetMs >= 0) {
    if (realBudgetMs > 0) {  // the peer answers in real time
      Poll_PauseRealMs(1);
      --realBudgetMs;
    } else {
      Clock_SleepMs(left);  // its grace is spent: the time-out
    }
    return;
  }
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
  return row >= 0 && row < kRowCount && kRows[row].type == layer().type;
}

// ---- the active interface --------------------------------------------------

InterfaceState GetInterfaceState() { return layer().state; }

int OpenInterface(const char* name) {
  if (!name || !*name) name = "None";
  int row = 0;
  while (row < kRowCount && std::strcmp(kRows[row].name, name) != 0) ++row;
  if (row == kRowCount) {
    SetInterfaceError("Unknown interface '%s'", name);
    return -1;
  }
  InterfaceLayer& l = layer();
  const int type = kRows[row].type;
  if (type == l.type) return 0;
  if (l.type != kInterfaceNone && CloseInterface() != 0) return -1;
  ResetReceive();
  if (type == kInterfaceNone) return 0;

  Link* link = l.link(type);
  if (!link) {
    SetInterfaceError("Unknown interface type %d\nin OpenInterface()", type);
    l.state = InterfaceState::Failed;
    return -1;
  }
  if (l.check(link->open()) != 0) {
    l.state = InterfaceState::Failed;
    return -1;
  }
  l.type = type;
  l.state = InterfaceState::Open;
  if (Option_GetInt("AUTO_INTERF_SET")) presetOptionsFor(type);
  return 0;
}

int CloseInterface() {
  InterfaceLayer& l = layer();
  if (l.type != kInterfaceNone) {
    Link* link = l.active();
    if (link && l.check(link->close()) != 0) return -1;
    l.type = kInterfaceNone;
    l.state = InterfaceState::Closed;
  }
  ResetReceive();
  return 0;
}

int GetInterfaceType() { return layer().type; }

int Interface_NodeCount() { return nodeCount(layer()); }

bool InterfaceActive() { return layer().type != kInterfaceNone; }

const char* GetInterfaceName() { return kRows[rowOfType(layer().type)].name; }

char GetBusLetter() { return kRows[rowOfType(layer().type)].busLetter; }

const char* BusName(char letter) {
  switch (letter) {
    case 'c': return "CAN";
    case 'l': return "LIN";
    case 'm': return "Modbus";
    default: return "?Bus";
  }
}

void ApplyLinkSettings() {
  InterfaceLayer& l = layer();
  for (int type = 1; type < kLinkTypes; ++type)
    if (Link* link = l.link(type)) link->applySettings();
  ResetReceive();
}

// ---- frames ----------------------------------------------------------------

int SendCanMsg(const CanMsg& msg) {
  InterfaceLayer& l = layer();
  Link* link = l.active();
  if (!link) {
    SetInterfaceError("No interface active");
    return -1;
  }
  return l.check(link->send(msg));
}

int PollReceive() {
  bool drained;
  return drainLink(drained);
}

int FetchReply(uint32_t id, int command, CanMsg& out) {
  const int node = nodeOf(id, Option_GetInt("VORN_PROT_BASE_ID"));
  if (node < 0) return 0;
  return layer().mailboxes.fetch(node, command, out) ? 1 : 0;
}

void FlushReplies(uint32_t id, int command) {
  const int node = nodeOf(id, Option_GetInt("VORN_PROT_BASE_ID"));
  if (node < 0) return;
  PollReceive();  // nothing already received may escape the flush
  layer().mailboxes.flush(node, command < 0 ? -1 : command);
}

void ResetReceive() {
  InterfaceLayer& l = layer();
  if (Link* link = l.active()) link->reset();
  l.mailboxes.clear();
}

int RequestReply(uint32_t id, int command, CanMsg& msg) {
  FlushReplies(id, command);
  if (SendCanMsg(msg) != 0) return -1;
  const int64_t deadline = Clock_NowMs() + Option_GetInt("MSGREQUEST_TIMEOUT_MS");
  int realBudgetMs = Clock_PeerGraceMs();
  for (;;) {
    bool drained;
    if (drainLink(drained) < 0) return -1;
    if (FetchReply(id, command, msg)) return 0;
    if (Clock_NowMs() > deadline) {
      SetInterfaceError("Module timeout");
      return -1;
    }
    // The reply is due by the first millisecond after the deadline.
    if (drained) waitForInput(deadline + 1, realBudgetMs);
  }
}

// ---- texts -----------------------------------------------------------------

void SetInterfaceError(const char* format, ...) {
  // Formatted aside first: the arguments may point into the current text.
  // The text is kept to 1023 characters, as the layer always has.
  char text[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof(text), format, args);
  va_end(args);
  layer().error = text;
}

const char* GetInterfaceError() { return layer().error.c_str(); }

int GetCanBitrate() {
  Link* link = layer().active();
  return link ? link->bitRate() : 0;
}

const char* GetInterfaceDescription() {
  InterfaceLayer& l = layer();
  Link* link = l.active();
  l.description = link ? link->describe() : std::string();
  return l.description.c_str();
}

// ---- the CAN logger --------------------------------------------------------

void Interface_SetFrameLogger(ReceivedFrameFn fn) { layer().frameLogger = fn; }

bool Interface_LoggerRecording() { return layer().frameLogger != nullptr; }

void Interface_DeliverFrame(const CanMsg& msg) {
  deliver(layer(), msg, Option_GetInt("VORN_PROT_BASE_ID"));
}

// ---- links -------------------------------------------------------------------

Link* Interface_Link(int type) { return layer().link(type); }

void Interface_InstallLink(int type, std::unique_ptr<Link> link) {
  InterfaceLayer& l = layer();
  if (type < 1 || type >= kLinkTypes) return;
  if (l.type == type) CloseInterface();
  l.installed[type] = std::move(link);
}

int Interface_StoredFrames(int node) { return layer().mailboxes.count(node); }
