// The module protocol against the simulated bus master, through the real
// Ethernet link on a loopback socket: a clean program state, a manual clock
// (fixed waits and time-outs cost nothing) and helpers that wait for the
// simulator's answers on the socket instead of sleeping.
#pragma once

#include <string>
#include <vector>

#include "bus/EthMaster.h"
#include "core/DebugLog.h"
#include "platform/Poll.h"
#include "protocol/BusScan.h"
#include "support/SimConnectedTest.h"

class ProtocolSimTest : public SimConnectedTest {
 protected:
  // Starts the simulator with this population and connects to its bus 0.
  void connect(const SimPopulation& population) {
    sim.setPopulation(population);
    ASSERT_NO_FATAL_FAILURE(startAndConnect());
    sim.clearTraffic();
  }
  void connectTestBus() { connect(population()); }

  // The bus the tests scan. Bus 0 (125 kbit/s): nodes 2 (type 16, hw 2,
  // firmware 2.5, bootloader 1.2), 3 (type 32), 5 (type 48, hw 3), 7 (type 17
  // in its bootloader, no firmware), 10 (type 272), 12 (type 99, unknown to
  // the catalogue), 20 (the LIN master). Bus 1 (500 kbit/s): nodes 2 (type
  // 16), 4 (type 64), 9 (type 24, one-byte type layout), 33 (type 48).
  static SimPopulation population() {
    SimPopulation p;
    p.busBitRates = {4, 6};
    auto add = [&p](int bus, int node, uint32_t type, uint8_t hw, uint8_t state, int boot, int fw) {
      SimModuleConfig c = SimModuleConfig::make(bus, node, type, p.busBitRates[size_t(bus)]);
      c.hwVersion = hw;
      c.state = state;
      c.bootMajor = uint8_t(boot / 10);
      c.bootMinor = uint8_t(boot % 10);
      c.firmwarePresent = fw >= 0;
      c.fwMajor = uint8_t(fw < 0 ? 255 : fw / 10);
      c.fwMinor = uint8_t(fw < 0 ? 255 : fw % 10);
      p.modules.push_back(c);
      return &p.modules.back();
    };
    SimModuleConfig* dio = add(0, 2, 16, 2, 0x85, 12, 25);
    dio->objects.push_back(SimObject{0x6000, 1, 0xA5, 5, false, 0});
    dio->objects.push_back(SimObject{0x6200, 1, 0x00, 5, true, 0});
    add(0, 3, 32, 1, 0x85, 13, 18);
    add(0, 5, 48, 3, 0x85, 20, 31);
    add(0, 7, 17, 1, 0x01, 11, -1);
    add(0, 10, 272, 1, 0x85, 21, 10);
    add(0, 12, 99, 1, 0x85, 10, 10);
    add(0, 20, 133, 1, 0x85, 10, 14);
    add(1, 2, 16, 2, 0x85, 12, 26);
    add(1, 4, 64, 1, 0x83, 14, 11);
    add(1, 9, 24, 1, 0x85, 10, 12)->extendedType = false;
    add(1, 33, 48, 3, 0x84, 20, 30);
    return p;
  }

  static int storedFrames() {
    int n = 0;
    for (int node = 0; node < 128; ++node) n += Interface_StoredFrames(node);
    return n;
  }

  // Receives until `count` frames wait in the mailboxes (false after 3 s).
  static bool awaitStored(int count) {
    for (int round = 0; round < 600; ++round) {
      PollReceive();
      if (storedFrames() >= count) return true;
      Poll_WaitReadable(EthMaster_Descriptor(), 5);
    }
    return false;
  }

  // Lines of the module list, in order.
  static std::vector<std::string> lines() {
    std::vector<std::string> out;
    for (ModuleRec* rec = ModuleList_Next(nullptr); rec; rec = ModuleList_Next(rec))
      out.push_back(ModuleList_LineText(rec));
    return out;
  }

  void openLog() {
    logPath = home.file("test.log");
    DebugLog_Open(logPath.c_str(), 'w');
  }
  std::string logText() const { return ReadWholeFile(logPath); }

  std::string logPath;
};
