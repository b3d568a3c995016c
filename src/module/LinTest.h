// The "LIN Bus" page: tests a module's LIN interface through the LIN master
// that the bus scan found (option LIN_MASTER_ID). The master is told to send a
// LIN request to the module's node; the module's LIN answer is polled from
// the master and checked for length, checksum, node id, response code and
// module type. One exchange runs at a time in the whole program; in
// continuous mode ("Start") exchanges follow each other and are counted.
//
// The page owns one single-shot timer: after every call below it re-arms the
// timer with the delay LinTab_Step() wants (a negative delay: none).
//
//   shown:   LinTab_Shown(*module);           hidden: LinTab_Hidden();
//   button:  LinTab_Send(*module);            box:    LinTab_SetStart(*module, ticked);
//   timer:   delay = LinTab_Step();           view:   LinTab_View();
#pragma once

#include <cstdint>
#include <string>

struct ModuleRec;

// One LIN frame: node id, data length and bytes, 4-bit checksum.
struct LinMessage {
  int node = 0;
  int length = 0;
  uint8_t data[8] = {};
  int checksum = 0;
};
// 15 - ((node id + length + sum of the data bytes) mod 16).
int LinChecksum(const LinMessage& message);

enum class LinMark { None, Check, Cross };

struct LinView {
  std::string masterNode;  // "0x%02X"
  bool startTicked = false;
  int sent = 0, ok = 0, failed = 0;
  std::string moduleName, nodeId, result;
  LinMark mark = LinMark::None;
  bool sendEnabled = true;
};
LinView LinTab_View();

void LinTab_Shown(const ModuleRec& module);
void LinTab_Hidden();
// "Send Message": one exchange with the module.
void LinTab_Send(const ModuleRec& module);
// "Start": ticked resets the counters and starts continuous mode; unticked
// lets the running exchange finish and starts no further one.
void LinTab_SetStart(const ModuleRec& module, bool ticked);
// Runs what is due (one request at most) and returns the delay in ms after
// which it wants to be called again, or -1 when nothing is pending.
int LinTab_Step();
// Checks an answer of the module; 1 good, 0 bad (reported).
int LinTab_Evaluate(const LinMessage& answer);
// True while an exchange waits for its answer.
bool LinTab_Busy();
