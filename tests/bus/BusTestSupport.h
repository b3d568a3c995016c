// Shared pieces of the bus tests: a fixture that puts the interface layer, the
// Ethernet link, the options and the clock back to their start state, and a
// scripted link whose every call the test controls.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "bus/EthMaster.h"
#include "bus/Interface.h"
#include "bus/Link.h"
#include "core/Options.h"
#include "platform/Clock.h"
#include "platform/Poll.h"
#include "support/TestEnvironment.h"

inline CanMsg Frame(uint32_t id, std::vector<uint32_t> data, uint32_t time = 0) {
  CanMsg m;
  m.id = id;
  m.len = uint32_t(data.size());
  for (size_t i = 0; i < data.size() && i < 8; ++i) m.data[i] = data[i];
  m.time = time;
  return m;
}

// A link driven by the test: frames queued in `incoming` are delivered one
// per receive call; sends are recorded; open and close answer as told.
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
  // Called on each send, e.g. to queue the module's answer.
  static inline void (*onSend)(const CanMsg&) = nullptr;

  static void clear() {
    incoming.clear();
    sent.clear();
    openResult = closeResult = receiveResult = 0;
    opens = closes = resets = 0;
    bitRate = 0;
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
      SetInterfaceError("scripted receive failed");
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
  static void describe(std::string& out) { out = "scripted"; }

  static constexpr BusLink link = {.open = open, .close = close, .send = send, .receive = receive,
                                   .reset = reset, .bitRate = rate, .describe = describe};
};

// Every bus test starts with the default options, no interface and the
// system clock, and leaves things that way.
class BusTest : public ScriptedUiTest {
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
    Clock_Install(nullptr);
    Option_ResetForTest();
    ScriptedUiTest::TearDown();
  }
  // Puts the scripted link behind the LIN adapter row and makes it active.
  void openScripted() {
    Interface_InstallLink(kInterfaceLin, &ScriptedLink::link);
    ASSERT_EQ(OpenInterface("LIN Adapter"), 0) << GetInterfaceError();
  }
  void useManualClock() { Clock_Install(&clock); }

  ManualClock clock{1000};
};
