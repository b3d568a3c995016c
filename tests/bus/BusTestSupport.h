// Shared pieces of the bus tests: CAN frames, and a fixture with the scripted
// link at hand and a manual clock.
#pragma once

#include <vector>

#include "platform/Poll.h"
#include "support/ScriptedLink.h"

inline CanMsg Frame(uint32_t id, std::vector<uint32_t> data, uint32_t time = 0) {
  CanMsg m;
  m.id = id;
  m.len = uint32_t(data.size());
  for (size_t i = 0; i < data.size() && i < 8; ++i) m.data[i] = data[i];
  m.time = time;
  return m;
}

// A bus test, with the scripted link and a manual clock to install when asked.
class BusTest : public BusStateTest {
 protected:
  // Puts a scripted link behind the LIN adapter row and makes it active.
  void openScripted() {
    scripted = ScriptedLink::InstallAs(kInterfaceLin);
    ASSERT_EQ(OpenInterface("LIN Adapter"), 0) << GetInterfaceError();
  }
  void useManualClock() { Clock_Install(&clock); }

  ManualClock clock{1000};
  ScriptedLink* scripted = nullptr;  // owned by the interface layer
};
