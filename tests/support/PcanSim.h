// The program on the "PCAN USB" interface against the in-process simulator:
// the carried adapter library, written to the test's home folder and loaded
// like the program loads it, reaches one simulated bus through the
// simulator's raw CAN port (KVX_CAN_CHANNEL=tcp:127.0.0.1:<port>).
#pragma once

#include <time.h>

#include <cstdlib>
#include <string>

#include "SimServer.h"
#include "bus/Interface.h"
#include "canport/SimCanPort.h"
#include "support/TestEnvironment.h"

class PcanSim {
 public:
  PcanSim(SimServer& sim, int bus) : port(sim, bus) {}
  ~PcanSim() {
    CloseInterface();
    port.stop();
  }

  // Starts the port (the simulator runs already) and opens "PCAN USB" on it;
  // false with the interface error.
  bool open() {
    if (!port.start()) return false;
    setenv("KVX_CAN_CHANNEL", ("tcp:127.0.0.1:" + std::to_string(port.port())).c_str(), 1);
    return OpenInterface("PCAN USB") == 0;
  }

  // The adapter library gives no descriptor to wait on: a millisecond of real
  // time between looks.
  static void pause() {
    timespec ms{0, 1000 * 1000};
    nanosleep(&ms, nullptr);
  }

  SimCanPort port;

 private:
  EnvGuard env_{"KVX_CAN_CHANNEL"};
};
