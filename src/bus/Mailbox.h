// Per-node receive mailboxes: 256 nodes (a Modbus slave address reaches them
// all; a CAN bus uses 0..127) x 64 slots, no allocation. Each stored
// frame gets the node's next sequence number; an empty slot has number 0, so a
// full mailbox overwrites its oldest frame.
#pragma once

#include <cstdint>

#include "core/CanMsg.h"

class ReplyMailboxes {
 public:
  static constexpr int kNodes = 256;
  static constexpr int kSlots = 64;

  // Stores into the slot with the smallest sequence number (the first empty
  // slot, else the oldest frame; ties go to the lowest index).
  void store(int node, const CanMsg& msg);
  // Takes the first non-empty slot in index order whose data[0] equals command.
  bool fetch(int node, int command, CanMsg& out);
  // Empties the slots with data[0] == command; a negative command empties all
  // of them and restarts the node's numbering.
  void flush(int node, int command);
  // Empties every mailbox.
  void clear();
  // Frames stored for the node (for tests and diagnostics).
  int count(int node) const;

 private:
  struct Slot {
    CanMsg msg{};
    uint64_t seq = 0;
  };
  struct Node {
    Slot slots[kSlots];
    uint64_t counter = 0;
  };
  static bool valid(int node) { return node >= 0 && node < kNodes; }

  Node nodes_[kNodes];
};
