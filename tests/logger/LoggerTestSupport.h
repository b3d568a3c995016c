// Shared pieces of the logger tests: frames, and a fixture that puts options,
// interface layer, Ethernet link, factory mode and clock back to their start.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "bus/EthMaster.h"
#include "bus/Interface.h"
#include "core/ErrorReport.h"
#include "core/Options.h"
#include "platform/Clock.h"
#include "support/TestEnvironment.h"

inline CanMsg Msg(uint32_t id, std::initializer_list<uint32_t> data = {}, uint32_t time = 0) {
  CanMsg m;
  m.id = id;
  for (uint32_t b : data)
    if (m.len < 8) m.data[m.len++] = b;
  m.time = time;
  return m;
}

// Lines of a text, without their line ends.
inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

class LoggerStateTest : public ScriptedUiTest {
 protected:
  void SetUp() override {
    ScriptedUiTest::SetUp();
    Option_ResetForTest();
    Interface_ResetForTest();
    EthMaster_ResetForTest();
    ErrorReport_ResetForTest();
    FactoryMode_SetForTest(false);
  }
  void TearDown() override {
    Interface_ResetForTest();
    EthMaster_ResetForTest();
    Clock_Install(nullptr);
    FactoryMode_ResetForTest();
    ErrorReport_ResetForTest();
    Option_ResetForTest();
    ScriptedUiTest::TearDown();
  }
};

#include <deque>

#include "bus/Link.h"

// A link whose received frames the test queues; it records what is sent.
// Installed behind the PCAN USB row, one of the two interfaces the logger takes.
struct FakeCanLink {
  static inline std::deque<CanMsg> incoming;
  static inline std::vector<CanMsg> sent;
  static inline int bitRate = 1000000;
  static inline int receiveResult = 0;
  static inline int resets = 0;

  static void clear() {
    incoming.clear();
    sent.clear();
    bitRate = 1000000;
    receiveResult = 0;
    resets = 0;
  }
  static int open() { return 0; }
  static int close() { return 0; }
  static int send(const CanMsg& m) {
    sent.push_back(m);
    return 0;
  }
  static int receive(CanMsg& m, int& got) {
    got = 0;
    if (receiveResult) {
      SetInterfaceError("adapter unplugged");
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
  static void describe(std::string& out) { out = "1000 kBaud"; }

  static constexpr BusLink link = {.open = open, .close = close, .send = send, .receive = receive,
                                   .reset = reset, .bitRate = rate, .describe = describe};

  // Makes the fake the active "PCAN USB" interface.
  static void activate() {
    clear();
    Interface_InstallLink(kInterfacePcanUsb, &link);
    OpenInterface("PCAN USB");
  }
};
