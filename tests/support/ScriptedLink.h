// A bus link whose every call the test controls, and a fixture that puts the
// interface layer, the Ethernet link, the options and the clock back to their
// start state around each test.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "bus/EthMaster.h"
#include "bus/Interface.h"
#include "bus/Link.h"
#include "core/Options.h"
#include "platform/Clock.h"
#include "support/TestEnvironment.h"

// Frames queued in `incoming` are delivered one per receive call; sends are
// recorded; open, close and receive answer as told. clear() puts every
// setting back to the values below.
struct ScriptedLink {
  static inline std::deque<CanMsg> incoming;
  static inline std::vector<CanMsg> sent;
  static inline int openResult = 0;
  static inline int closeResult = 0;
  static inline int receiveResult = 0;
  static inline int opens = 0;
  static inline int closes = 0;
  static inline int resets = 0;
  static inline int bitRate = 0;
  // What describe() answers, and the interface error a failed receive leaves.
  static inline std::string description = "scripted";
  static inline std::string receiveError = "scripted receive failed";
  // Called on each send, e.g. to queue the module's answer.
  static inline void (*onSend)(const CanMsg&) = nullptr;

  static void clear() {
    incoming.clear();
    sent.clear();
    openResult = closeResult = receiveResult = 0;
    opens = closes = resets = 0;
    bitRate = 0;
    description = "scripted";
    receiveError = "scripted receive failed";
    onSend = nullptr;
  }
  static int open() {
    ++opens;
    if (openResult) SetInterfaceError("scripted open failed");
    return openResult;
  }
  static int close() {
    ++closes;
    return closeResult;
  }
  static int send(const CanMsg& m) {
    sent.push_back(m);
    if (onSend) onSend(m);
    return 0;
  }
  static int receive(CanMsg& m, int& got) {
    got = 0;
    if (receiveResult) {
      SetInterfaceError("%s", receiveError.c_str());
      return receiveResult;
    }
    if (incoming.empty()) return 0;
    m = incoming.front();
    incoming.pop_front();
    got = 1;
    return 0;
  }
  static void reset() {
    ++resets;
    incoming.clear();
  }
  static int rate() { return bitRate; }
  static void describe(std::string& out) { out = description; }

  static constexpr BusLink link = {.open = open, .close = close, .send = send, .receive = receive,
                                   .reset = reset, .bitRate = rate, .describe = describe};
};

// Starts each test with the default options, no interface, a cleared scripted
// link and the system clock, and leaves things that way.
class BusStateTest : public ScriptedUiTest {
 protected:
  void SetUp() override {
    ScriptedUiTest::SetUp();
    Option_ResetForTest();
    Interface_ResetForTest();
    EthMaster_ResetForTest();
    ScriptedLink::clear();
  }
  void TearDown() override {
    Interface_ResetForTest();
    EthMaster_ResetForTest();
    ScriptedLink::clear();
    Clock_Install(nullptr);
    Option_ResetForTest();
    ScriptedUiTest::TearDown();
  }
};
