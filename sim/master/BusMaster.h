// The bus master's own behaviour: it answers the control frames of its
// client, passes the client's CAN frames to the bus named in their bus
// nibble, and forwards bus traffic back to the client tagged with its bus.
//
// Forwarding rule: while the logger forwarding value is 0 the master passes
// on only module protocol frames (identifiers base .. base + 127); with any
// other value (the logger sends 3) it passes on everything on every bus.
// A silent master (a plain bridge) passes on everything. Frames the client
// sent itself are never echoed.
#pragma once

#include <cstdint>
#include <functional>

#include "core/SimFrame.h"
#include "core/SimNetwork.h"
#include "master/ControlFaults.h"

struct SimServerStats;

class BusMaster {
 public:
  // toClient receives every frame for the client with its time.
  using ClientSink = std::function<void(const SimFrame& frame, int64_t timeUs)>;

  BusMaster(SimNetwork& network, ClientSink toClient);

  void setSilent(bool silent) { silent_ = silent; }
  void setControlFaults(const SimControlFaults& faults) { faults_ = faults; }
  SimControlFaults controlFaults() const { return faults_; }
  bool silent() const { return silent_; }
  uint8_t runState() const { return runState_; }
  void setRunState(uint8_t state) { runState_ = state; }
  int loggerForwarding() const { return forwarding_; }

  // A new client: logger forwarding starts off again.
  void clientConnected() { forwarding_ = 0; }
  // A frame decoded from the client's stream.
  void fromClient(const SimFrame& frame, int64_t nowUs, SimServerStats& stats);
  // A frame completed on a bus (the network's listener).
  void fromBus(int bus, const SimFrame& frame, int64_t timeUs, FrameOrigin origin);

 private:
  void control(const SimFrame& frame, int64_t nowUs, SimServerStats& stats);
  void answer(const SimFrame& request, uint8_t value, int64_t nowUs);

  SimNetwork& network_;
  ClientSink toClient_;
  bool silent_ = false;
  SimControlFaults faults_;
  uint8_t runState_ = 1;
  int forwarding_ = 0;
};
