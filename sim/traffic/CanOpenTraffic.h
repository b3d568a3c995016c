// CANopen background traffic for a simulated bus: what a running CANopen
// network puts on the wire besides the module protocol - NMT commands, SYNC,
// emergencies, process data (PDOs), SDO requests and responses, heartbeats,
// bootups, node-guarding requests - and now and then an error report of the
// bus master (bus off, bus error, missing acknowledge, controller reset).
//
// The frames follow one another at a fixed average rate, up to a full bus.
// The sequence is pseudo-random but repeatable for a given seed, and it
// never uses the module protocol's identifiers, so modules stay undisturbed.
#pragma once

#include <cstdint>
#include <vector>

#include "core/SimNetwork.h"

// The highest rate a source makes (a 1 Mbit/s bus carries at most about
// 21,300 frames/s): beyond it the server would do nothing but make frames.
inline constexpr double kCanOpenTrafficMaxRate = 1e6;

struct CanOpenTrafficConfig {
  double framesPerSecond = 100.0;  // average rate; <= 0 sends nothing; at most kCanOpenTrafficMaxRate
  // -1: the CANopen mix with its natural lengths; 0..8: every frame has this
  // many data bytes (the identifiers still follow the mix).
  int fixedLength = -1;
  // The nodes that talk (1..127); empty: nodes 1..8.
  std::vector<int> nodes;
  // Share of error reports among the frames (0 = none).
  double errorShare = 0.0005;
  uint32_t seed = 1;
  // The module protocol's identifiers (base .. base + 127) are left to the
  // modules: a frame of the mix that would fall there goes out as a TxPDO1.
  uint32_t protocolBase = 0x680;
};

// Error reports reach the program as frames whose identifier has bit 29 set
// and the kinds in the low bits.
inline constexpr uint32_t kSimErrorReportFlag = 0x20000000;
inline constexpr uint32_t kSimRemoteFlag = 0x40000000;
inline constexpr uint32_t kSimErrorAck = 0x20;
inline constexpr uint32_t kSimErrorBusOff = 0x40;
inline constexpr uint32_t kSimErrorBus = 0x80;
inline constexpr uint32_t kSimErrorReset = 0x100;

class CanOpenTraffic : public BusTrafficSource {
 public:
  explicit CanOpenTraffic(const CanOpenTrafficConfig& config);
  bool next(int64_t afterUs, SimFrame& frame, int64_t& atUs) override;

  // The frame that comes next in the mix (no timing); public for tests.
  SimFrame nextFrame();
  uint64_t framesMade() const { return made_; }

 private:
  uint32_t random();
  int pickNode();
  void fill(SimFrame& frame, int count);
  SimFrame pdo(uint32_t base);
  SimFrame sdoPair();

  CanOpenTrafficConfig config_;
  uint64_t state_;
  double intervalUs_;
  double nextUs_ = -1.0;
  uint64_t made_ = 0;
  bool sdoAnswerDue_ = false;
  SimFrame sdoAnswer_;
};

// The most frames per second a bus at this bit-rate code carries when each
// frame has dataLen bytes: 47 + 8 x dataLen bits apiece, no stuff bits (the
// physical maximum). dataLen may be an average. 0 for an unknown code.
double CanOpenTraffic_FullBusRate(uint8_t bitRateCode, double dataLen);
// The average data length of the frames a source with this configuration
// makes (the SDO answers and the error reports counted as frames of their
// own), for rates given as bus load.
double CanOpenTraffic_AverageLength(const CanOpenTrafficConfig& config);
