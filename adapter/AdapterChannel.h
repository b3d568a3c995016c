// One way to a CAN bus for the adapter library: a SocketCAN interface or a
// simulator bus over TCP. Results are the adapter status bits of
// platform/CanAdapterAbi.h (0 = success).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/CanAdapterAbi.h"

class AdapterChannel {
 public:
  virtual ~AdapterChannel() = default;
  // Connects at the bit rate (bit/s).
  virtual uint32_t start(uint32_t bitRate) = 0;
  // CAN_Init on a started channel: back onto the bus (after a bus-off) at
  // the bit rate, reconnecting when the connection was lost.
  virtual uint32_t restart(uint32_t bitRate) = 0;
  virtual uint32_t write(const CanAdapterMsg& msg) = 0;
  // CAN_ADAPTER_QRCVEMPTY when nothing is waiting; never blocks.
  virtual uint32_t read(CanAdapterMsg& msg, CanAdapterTimestamp& stamp) = 0;
  // Drops everything received and not yet read.
  virtual void reset() = 0;
  // The bus state bits last reported (warning, passive, bus-off).
  virtual uint32_t status() const = 0;
  virtual std::string describe() const = 0;
};

// "can0", "vcan1": a SocketCAN network interface.
std::unique_ptr<AdapterChannel> AdapterChannel_SocketCan(const std::string& interfaceName);
// A simulator's raw CAN port (kvxsim --can-port).
std::unique_ptr<AdapterChannel> AdapterChannel_SimBus(const std::string& host, int port);

// Milliseconds of the monotonic clock, as adapter time stamps.
CanAdapterTimestamp AdapterChannel_Now();
// One line to stderr: the library has no other way to explain a failure.
void AdapterChannel_Say(const char* format, ...) __attribute__((format(printf, 1, 2)));
