// Module dialog logic against the simulated bus master through the real
// Ethernet link, with a manual clock so that time-outs cost nothing, and the
// module list holding the modules the tests work on.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/ErrorReport.h"
#include "module/SimModule.h"
#include "protocol/ModuleType.h"
#include "support/SimConnectedTest.h"
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

class ModuleSimTest : public SimConnectedTest {
 protected:
  void SetUp() override {
    SimConnectedTest::SetUp();
    // Every error comes as a box, so that an error nobody expected fails the test.
    Option_SetInt("ERRORS_IN_STATUSBAR", 0);
  }

  // Starts the demo population and connects to its bus 0.
  void connectDemo() {
    sim.setPopulation(SimPopulation::demo());
    ASSERT_NO_FATAL_FAILURE(startAndConnect());
    sim.clearTraffic();
  }

  // Connects to the demo population and lists its module at `node`.
  ModuleRec* demoListed(int node) {
    connectDemo();
    return listed(node);
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
    return recordOfNode(node);
  }

  void changeModule(int node, const std::function<void(SimModuleConfig&)>& change) {
    ASSERT_TRUE(sim.withModule(sim.findModule(0, node), [&](SimModule& m) { change(m.config()); }));
  }
  SimModuleConfig moduleConfig(int node) {
    SimModuleConfig c;
    sim.withModule(sim.findModule(0, node), [&](SimModule& m) { c = m.config(); });
    return c;
  }

  // Command bytes of the module protocol frames sent since the last clearTraffic().
  std::vector<int> commandsSent() {
    std::vector<int> out;
    for (const SimFrame& f : framesToModules()) out.push_back(f.len ? f.data[0] : -1);
    return out;
  }
};

inline std::vector<int> Bytes(const SimFrame& f) {
  return std::vector<int>(f.data, f.data + f.len);
}
