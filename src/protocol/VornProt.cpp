#include "protocol/VornProt.h"

#include "bus/Interface.h"
#include "core/DebugLog.h"
#include "core/ErrorReport.h"
#include "core/Options.h"
#include "core/Session.h"
#include "protocol/ModuleList.h"
#include "protocol/ModuleType.h"
#include "protocol/VornProtCommands.h"

namespace {

struct ScanCount {
  int found = 0;  // modules listed by the current scan
};

int& foundCount() { return Session_Part<ScanCount>().found; }

uint32_t baseId() { return uint32_t(Option_GetInt("VORN_PROT_BASE_ID")); }

// Nodes 0..127 on a CAN bus; a Modbus line also reaches the nodes above that
// a module can be given there (its slave address).
bool validNode(int node) { return node >= 0 && node < Interface_NodeCount(); }
bool validLength(int len) { return len >= 1 && len <= 8; }

// id = base + node, len, command byte, then the parameters; missing ones are 0.
void fillMessage(CanMsg& msg, int node, int len, int command, std::initializer_list<int> params) {
  msg = CanMsg{};
  msg.id = (baseId() + uint32_t(node)) & CANMSG_ID_MASK;
  msg.len = uint32_t(len);
  msg.data[0] = uint32_t(command) & 0xFF;
  int i = 1;
  for (int p : params) {
    if (i >= len) break;
    msg.data[i++] = uint32_t(p) & 0xFF;
  }
}

// A node or length outside the frame layout is the caller's mistake; it is
// reported instead of putting a malformed frame on the bus.
bool checkArguments(const char* function, int node, int len) {
  if (!validNode(node)) {
    ShowError("Internal error: Invalid node id %d in %s()", node, function);
    return false;
  }
  if (!validLength(len)) {
    ShowError("Internal error: Invalid message length %d in %s()", len, function);
    return false;
  }
  return true;
}

void reportInterfaceFailure() {
  DebugLog("  -> Failed: %s", GetInterfaceError());
  ShowError("%s", GetInterfaceError());
}

// The first stored identify reply of a node, whatever its length; false when none.
bool takeIdentifyReply(int node, CanMsg& reply) {
  return FetchReply(baseId() + uint32_t(node), VORN_CODE_IDENTIFY, reply) == 1;
}

// One identify reply of a scan: the LIN master is remembered, everything else listed.
void collectIdentify(int node, const CanMsg& reply) {
  const IdentifyReply id = VornProt_DecodeIdentify(reply);
  if (id.type == unsigned(MODULE_TYPE_LIN_MASTER)) {
    Option_SetInt("LIN_MASTER_ID", node);
    DebugLog("  (Module %02x skipped, is LIN master)", node);
    return;
  }
  ++foundCount();
  const bool open = Option_GetInt("SCAN_OPEN_DIALOG") != 0 &&
                    foundCount() <= Option_GetInt("SCAN_OPEN_DIALOGS");
  ModuleList_Add(node, GetBusLetter(), id.type, id.version, id.state, open);
  const int count = ModuleList_Count();
  SetStatusText("Found %d module%s", count, count == 1 ? "" : "s");
}

}  // namespace

int VornProt_RequestMessage(CanMsg& msg, int node, int len, int command,
                            std::initializer_list<int> params) {
  if (!checkArguments("VornProt_RequestMessage", node, len)) return 0;
  fillMessage(msg, node, len, command, params);
  const uint8_t commandByte = uint8_t(msg.data[0]);
  int match;
  uint32_t expected;
  if (commandByte & VORN_FLAG_REPLY) {
    match = commandByte & VORN_CODE_MASK;
    expected = VORN_PROT_REPLY_LEN;
  } else if (commandByte & VORN_FLAG_ACK) {
    match = commandByte | VORN_ACK_FLAGS;
    expected = uint32_t(len);
  } else {
    ShowError("Internal error: Neither reply nor ackn requested in VornProt_RequestMessage( %s )",
              FormatCanMsg(msg));
    return 0;
  }

  DebugLog("VornProt_RequestMessage( %s )", FormatCanMsg(msg));
  if (RequestReply(msg.id, match, msg) != 0) {
    reportInterfaceFailure();
    return 0;
  }
  if (msg.len == expected) {
    DebugLog("  -> Received: %s", FormatCanMsg(msg));
    return 1;
  }
  DebugLog("  -> Failed: Received unexpected message length %d (expected %d)\n%s", int(msg.len),
           int(expected), FormatCanMsg(msg));
  ShowError("Unexpected message length (received %d, expected %d) for Vorn Protocol request 0x%02x",
            int(msg.len), int(expected), commandByte);
  return 0;
}

int VornProt_SendMessage(CanMsg& msg, int node, int len, int command,
                         std::initializer_list<int> params) {
  if (!checkArguments("VornProt_SendMessage", node, len)) return -1;
  fillMessage(msg, node, len, command, params);
  DebugLog("VornProt_SendMessage( %s )", FormatCanMsg(msg));
  if (SendCanMsg(msg) != 0) {
    reportInterfaceFailure();
    return -1;
  }
  DebugLog("  -> Ok");
  return 0;
}

IdentifyReply VornProt_DecodeIdentify(const CanMsg& reply) {
  IdentifyReply out;
  const uint32_t low = reply.data[2] & 0xFF;
  const uint32_t high = reply.data[4] & 0xFF;
  // A non-zero byte 5 marks the older layout, whose type fits byte 2 alone.
  out.type = (reply.data[5] & 0xFF) == 0 ? low + 256 * high : low;
  out.version = reply.data[3] & 0xFF;
  out.state = reply.data[1] & 0xFF;
  return out;
}

// ---- discovery ----------------------------------------------------------------

void VornProt_ScanReset() {
  ResetReceive();
  foundCount() = 0;
}

int VornProt_ScanSend(int node) {
  if (!validNode(node)) {
    SetInterfaceError("Invalid node id %d", node);
    return -1;
  }
  FlushReplies(baseId() + uint32_t(node), VORN_CODE_IDENTIFY);
  CanMsg msg;
  fillMessage(msg, node, 1, VORN_CMD_IDENTIFY, {});
  DebugLog("VornProt_ScanSend( %s )", FormatCanMsg(msg));
  return SendCanMsg(msg) == 0 ? 0 : -1;
}

void VornProt_ScanCheck() {
  DebugLog("VornProt_ScanCheck()");
  PollReceive();
  bool any = false;
  for (int node = 0; node <= VORN_PROT_MAX_NODE; ++node) {
    // Every stored reply of the node: two modules answering on one node id
    // (a duplicate node id) must both reach the list.
    CanMsg reply;
    while (takeIdentifyReply(node, reply)) {
      any = true;
      if (reply.len != VORN_PROT_REPLY_LEN) continue;
      DebugLog("  -> Received: %s", FormatCanMsg(reply));
      collectIdentify(node, reply);
    }
  }
  if (!any) DebugLog("  -> No result");
}

int VornProt_ScanFoundCount() { return foundCount(); }

int VornProt_SearchSend() {
  CanMsg msg;
  return VornProt_SendMessage(msg, 0, 1, VORN_CMD_SEARCH);
}

int VornProt_SearchCheck(ModuleRec& out) {
  DebugLog("VornProt_SearchCheck()");
  if (PollReceive() != 0) return -1;
  CanMsg reply;
  while (FetchReply(baseId(), VORN_CODE_SEARCH, reply) == 1) {
    if (reply.len != VORN_PROT_REPLY_LEN) continue;  // not a search reply
    DebugLog("  -> Received: %s", FormatCanMsg(reply));
    const IdentifyReply id = VornProt_DecodeIdentify(reply);
    out = ModuleRec{};
    out.node = 0;
    out.bus = GetBusLetter();
    out.type = id.type;
    out.version = id.version;
    out.state = id.state;
    out.typeInfo = ModuleType_Find(int(id.type));
    return 1;
  }
  DebugLog("  -> No result");
  return 0;
}

void VornProt_SearchFlush() { FlushReplies(baseId(), -1); }
