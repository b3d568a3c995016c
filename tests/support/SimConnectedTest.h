// The program connected to the in-process simulator through the real Ethernet
// link on a loopback socket: a clean program state, a manual clock (fixed
// waits and time-outs cost nothing), an empty module list without hooks, and
// helpers that wait for the frames the simulator receives instead of sleeping.
#pragma once

#include <string>
#include <vector>

#include "SimServer.h"
#include "bus/Interface.h"
#include "core/Options.h"
#include "platform/Clock.h"
#include "protocol/ModuleList.h"
#include "support/AppFixture.h"

class SimConnectedTest : public AppStateTest {
 protected:
  void SetUp() override {
    AppStateTest::SetUp();
    Clock_Install(&clock);
    // A restarted module is back at once. The program's wait after a restart
    // costs nothing under the manual clock, so any real reboot time would be
    // a race between the simulator's thread and the program's next request.
    sim.setRebootTimeMs(0);
  }
  void TearDown() override {
    CloseInterface();
    sim.stop();
    AppStateTest::TearDown();
  }

  // Starts the simulator with the population it has and makes its Ethernet
  // master the program's interface.
  void startAndConnect() {
    ASSERT_TRUE(sim.start()) << sim.lastError();
    Option_SetString("ETHERNET_HOSTNAME", "127.0.0.1");
    Option_SetInt("ETHERNET_PORTNO", sim.port());
    ApplyLinkSettings();
    ASSERT_EQ(OpenInterface("KVX Master (Ethernet)"), 0) << GetInterfaceError();
    ASSERT_TRUE(sim.waitForClient(2000));
  }

  // Starts the simulator (when it is not running yet) and makes its Modbus RTU
  // line to bus 0 the program's interface.
  void startAndConnectModbus() {
    ASSERT_TRUE(sim.start()) << sim.lastError();
    const std::string device = sim.startModbus(0);
    ASSERT_FALSE(device.empty()) << sim.lastError();
    Option_SetString("MODBUS_COMPORTNAME", device.c_str());
    ApplyLinkSettings();
    ASSERT_EQ(OpenInterface("Modbus (Serial)"), 0) << GetInterfaceError();
  }

  // The module protocol frames the program sent since the last clearTraffic()
  // (control frames left out), once the simulator has received `atLeast` frames
  // or two seconds have passed.
  std::vector<SimFrame> framesToModules(size_t atLeast = 0) {
    if (atLeast) sim.waitForReceived(atLeast, 2000);
    std::vector<SimFrame> out;
    for (const SimTimedFrame& f : sim.receivedFrames())
      if (!f.frame.isControl()) out.push_back(f.frame);
    return out;
  }
  // Waits (at most about three seconds) until the simulator has seen `count`
  // module protocol frames.
  std::vector<SimFrame> awaitFramesToModules(size_t count) {
    for (int round = 0; round < 600; ++round) {
      std::vector<SimFrame> frames = framesToModules();
      if (frames.size() >= count) return frames;
      sim.waitForReceived(sim.receivedFrames().size() + 1, 5);
    }
    return framesToModules();
  }

  // The module list's record of a node, or null.
  static ModuleRec* recordOfNode(int node) {
    for (ModuleRec* rec = ModuleList_Next(nullptr); rec; rec = ModuleList_Next(rec))
      if (rec->node == node) return rec;
    return nullptr;
  }

  ManualClock clock;
  SimServer sim;
};
