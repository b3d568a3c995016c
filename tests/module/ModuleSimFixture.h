// Module dialog logic against the simulated bus master through the real
// Ethernet link, with a manual clock so that time-outs cost nothing, and the
// module list holding the modules the tests work on.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "SimServer.h"
#include "bus/EthMaster.h"
#include "bus/Interface.h"
#include "core/ErrorReport.h"
#include "core/Options.h"
#include "module/SimModule.h"
#include "platform/Clock.h"
#include "protocol/ModuleList.h"
#include "protocol/ModuleType.h"
#include "support/AppFixture.h"
#include "ui/ScriptedUi.h"

// Answers like the scripted UI, but first runs an action while the box is
// up, as the event loop of a real message box lets timers and scans run (or
// the user turn a switch).
class InterruptingUi : public ScriptedUi {
 public:
  std::function<void()> duringNextBox;
  UiAnswer messageBox(const std::string& text, const std::string& title, UiButtons buttons, UiIcon icon,
                      bool systemModal) override {
    if (duringNextBox) {
      auto action = std::move(duringNextBox);
      duringNextBox = nullptr;
      action();
    }
    return ScriptedUi::messageBox(text, title, buttons, icon, systemModal);
  }
};

// Installs a backend for the rest of a scope, then the one given for after.
class UiInstalled {
 public:
  UiInstalled(UiBackend* now, UiBackend* after) : after_(after) { Ui_Install(now); }
  ~UiInstalled() { Ui_Install(after_); }

 private:
  UiBackend* after_;
};

class ModuleSimTest : public AppStateTest {
 protected:
  void SetUp() override {
    AppStateTest::SetUp();
    Clock_Install(&clock);
    // Every error comes as a box, so that an error nobody expected fails the test.
    Option_SetInt("ERRORS_IN_STATUSBAR", 0);
    ModuleList_SetHooks({});
    ModuleList_Create();
    sim.setRebootTimeMs(1);
  }
  void TearDown() override {
    ModuleList_SetHooks({});
    ModuleList_SetActivateHook(nullptr);
    ModuleList_Create();
    CloseInterface();
    sim.stop();
    FactoryMode_SetForTest(false);
    Clock_Install(nullptr);
    AppStateTest::TearDown();
  }

  // Starts the demo population and connects to its bus 0.
  void connectDemo() {
    sim.setPopulation(SimPopulation::demo());
    ASSERT_TRUE(sim.start()) << sim.lastError();
    Option_SetString("ETHERNET_HOSTNAME", "127.0.0.1");
    Option_SetInt("ETHERNET_PORTNO", sim.port());
    ApplyLinkSettings();
    ASSERT_EQ(OpenInterface("KVX Master (Ethernet)"), 0) << GetInterfaceError();
    ASSERT_TRUE(sim.waitForClient(2000));
    sim.clearTraffic();
  }

  // Lists a module of bus 0 as a scan would and returns its record.
  ModuleRec* listed(int node) {
    const SimModuleId id = sim.findModule(0, node);
    uint32_t type = 0;
    uint8_t hw = 0, state = 0;
    sim.withModule(id, [&](SimModule& m) {
      type = m.config().type;
      hw = m.config().hwVersion;
      state = m.state();
    });
    EXPECT_EQ(ModuleList_Add(node, 'c', type, hw, state, false), 0);
    for (ModuleRec* rec = ModuleList_Next(nullptr); rec; rec = ModuleList_Next(rec))
      if (rec->node == node) return rec;
    return nullptr;
  }

  void changeModule(int node, const std::function<void(SimModuleConfig&)>& change) {
    ASSERT_TRUE(sim.withModule(sim.findModule(0, node), [&](SimModule& m) { change(m.config()); }));
  }
  SimModuleConfig moduleConfig(int node) {
    SimModuleConfig c;
    sim.withModule(sim.findModule(0, node), [&](SimModule& m) { c = m.config(); });
    return c;
  }

  // The module protocol frames the program sent since the last clearTraffic().
  std::vector<SimFrame> framesToModules() {
    std::vector<SimFrame> out;
    for (const SimTimedFrame& f : sim.receivedFrames())
      if (!f.frame.isControl()) out.push_back(f.frame);
    return out;
  }
  // Command bytes of those frames.
  std::vector<int> commandsSent() {
    std::vector<int> out;
    for (const SimFrame& f : framesToModules()) out.push_back(f.len ? f.data[0] : -1);
    return out;
  }
  // Waits until the simulator has seen count module protocol frames.
  std::vector<SimFrame> awaitFramesToModules(size_t count) {
    for (int round = 0; round < 400; ++round) {
      std::vector<SimFrame> frames = framesToModules();
      if (frames.size() >= count) return frames;
      sim.waitForReceived(sim.receivedFrames().size() + 1, 5);
    }
    return framesToModules();
  }

  ManualClock clock;
  SimServer sim;
};

inline std::vector<int> Bytes(const SimFrame& f) {
  return std::vector<int>(f.data, f.data + f.len);
}
