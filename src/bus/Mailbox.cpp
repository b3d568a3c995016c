#include "bus/Mailbox.h"

void ReplyMailboxes::store(int node, const CanMsg& msg) {
  if (!valid(node)) return;
  Node& n = nodes_[node];
  Slot* target = &n.slots[0];
  for (Slot& s : n.slots) {
    if (s.seq < target->seq) target = &s;
    if (target->seq == 0) break;
  }
  target->seq = ++n.counter;
  CanMsg& m = target->msg;
  m.id = msg.id;
  m.len = msg.len > 8 ? 8 : msg.len;
  m.time = msg.time;
  // Bytes beyond the length are cleared so that no older frame shows through.
  for (unsigned i = 0; i < 8; ++i) m.data[i] = i < m.len ? msg.data[i] : 0;
}

bool ReplyMailboxes::fetch(int node, int command, CanMsg& out) {
  if (!valid(node)) return false;
  Node& n = nodes_[node];
  for (Slot& s : n.slots) {
    if (s.seq == 0 || int(s.msg.data[0]) != command) continue;
    out.id = s.msg.id;
    out.len = s.msg.len;
    out.time = s.msg.time;
    for (int i = 0; i < 8; ++i) out.data[i] = s.msg.data[i];
    s.seq = 0;
    return true;
  }
  return false;
}

void ReplyMailboxes::flush(int node, int command) {
  if (!valid(node)) return;
  Node& n = nodes_[node];
  for (Slot& s : n.slots) {
    if (command < 0 || int(s.msg.data[0]) == command) s.seq = 0;
  }
  if (command < 0) n.counter = 0;
}

void ReplyMailboxes::clear() {
  for (int i = 0; i < kNodes; ++i) flush(i, -1);
}

int ReplyMailboxes::count(int node) const {
  if (!valid(node)) return 0;
  const Node& n = nodes_[node];
  int c = 0;
  for (const Slot& s : n.slots) c += s.seq != 0;
  return c;
}
