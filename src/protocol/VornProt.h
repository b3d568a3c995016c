// The modules' request/reply protocol: frames on VORN_PROT_BASE_ID + node with
// the command byte in data[0]; a request waits for the reply (bit 7 of the
// command byte) or the acknowledgement (bit 6). Every failure is reported once
// through ShowError and written to the debug log; callers only test the result.
#pragma once

#include <initializer_list>

#include "core/CanMsg.h"

struct ModuleRec;

// Fills msg (id = base + node, len, data[0] = command, data[1..len-1] from
// params; missing parameters are 0, surplus ones ignored), sends it and waits
// for the matching answer. 1 with the answer in msg, 0 on failure (reported).
int VornProt_RequestMessage(CanMsg& msg, int node, int len, int command,
                            std::initializer_list<int> params = {});
// Fills msg the same way and sends it without waiting. 0 ok, -1 failed (reported).
int VornProt_SendMessage(CanMsg& msg, int node, int len, int command,
                         std::initializer_list<int> params = {});

// Type, hardware version and state of an identify or search reply.
struct IdentifyReply {
  unsigned type = 0;
  unsigned version = 0;
  unsigned state = 0;
};
IdentifyReply VornProt_DecodeIdentify(const CanMsg& reply);

// ---- discovery ----------------------------------------------------------------
// Clears all receive mailboxes and the count of modules found by this scan.
void VornProt_ScanReset();
// Identify request to one node after discarding its stored identify replies;
// 0 / -1, reports nothing.
int VornProt_ScanSend(int node);
// Collects the identify replies of all nodes into the module list.
void VornProt_ScanCheck();
int VornProt_ScanFoundCount();
// Search request to node 0 (without waiting).
int VornProt_SearchSend();
// Takes one search reply: 1 found (out filled: node 0, bus letter, type,
// version, state), 0 none, -1 receiving failed.
int VornProt_SearchCheck(ModuleRec& out);
// Discards everything stored for node 0.
void VornProt_SearchFlush();
