// The raw CAN port: one simulated bus served over TCP to a CAN adapter
// library (sim/canport/CanPortWire.h). Its client is one more node on the
// bus: it hears every frame completed there - module replies, the master's
// client's frames, background traffic - at the time it completes, and its
// own frames go onto the bus like any node's.
//
//   SimServer sim;  ...
//   SimCanPort port(sim, 0);               // bus 0
//   ASSERT_TRUE(port.start());             // 127.0.0.1, ephemeral port
//   KVX_CAN_CHANNEL=tcp:127.0.0.1:<port.port()>
//
// Runs in a thread of its own; every public function is thread-safe. One
// client at a time; a new connection replaces the old one. Stop it (or
// destroy it) before the SimServer goes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class SimServer;

struct SimCanPortStats {
  int connections = 0;
  int64_t framesToClient = 0;    // CAN frames sent (queued) to the client
  int64_t statusToClient = 0;    // status records sent (queued) to the client
  int64_t framesFromClient = 0;  // client frames put on the bus
  int64_t framesRefused = 0;     // client frames at the wrong bit rate, never on the bus
  uint32_t clientBitRate = 0;    // from the client's last hello
};

class SimCanPort {
 public:
  SimCanPort(SimServer& server, int bus);
  ~SimCanPort();
  SimCanPort(const SimCanPort&) = delete;
  SimCanPort& operator=(const SimCanPort&) = delete;

  bool start(const std::string& address = "127.0.0.1", int port = 0);
  void stop();
  int port() const;
  int bus() const;
  std::string lastError() const;
  SimCanPortStats stats() const;
  bool waitForFramesFromClient(int64_t count, int timeoutMs) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> d_;
};
