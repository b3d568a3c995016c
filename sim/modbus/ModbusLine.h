// A Modbus RTU line on a pseudo-terminal, with the modules of one simulated
// bus behind it as slaves: each module answers as slave address = its node
// id. A request (function 0x68) becomes a CAN frame on base + address; a
// module's frame on base + node comes back as a reply frame. The program opens
// the terminal's device path as its serial port.
//
// With line timing on, a request reaches the bus only after its bytes and the
// RTU silent interval (3.5 characters, 1.75 ms above 19200 baud) have passed at the baud rate the program set on the
// line, and a reply is written when its last byte would arrive; replies never
// overlap on the line. Fault injection spoils replies (ModbusLine::Fault).
//
// Not thread-safe: the SimServer calls it under its lock from its thread.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "core/SimFrame.h"
#include "core/SimNetwork.h"

enum class SimModbusFault {
  SwappedCrc,       // the two CRC bytes change places
  WrongFunction,    // function code 0x69 (CRC right for it)
  NineBytes,        // the reply announces and carries 9 data bytes (CRC right)
  SplitBytes,       // every byte written on its own, a gap between them
  Silence,          // no reply at all
  TrailingGarbage,  // three stray bytes follow the reply without a pause
};

struct SimModbusStats {
  int requests = 0;     // well-formed requests put on the bus
  int badRequests = 0;  // frames dropped for CRC, function, tag or length
  int replies = 0;      // replies written (faulty ones included)
  int faulted = 0;      // replies spoiled by a fault
  int lost = 0;         // output the terminal did not take
};

class ModbusLine {
 public:
  ModbusLine(SimNetwork& network, int bus);
  ~ModbusLine();
  ModbusLine(const ModbusLine&) = delete;
  ModbusLine& operator=(const ModbusLine&) = delete;

  // Opens the pseudo-terminal. False with a text when it cannot.
  bool open(std::string& error);
  void close();
  const std::string& devicePath() const { return path_; }
  int fd() const { return master_; }
  int bus() const { return bus_; }

  void setLineTiming(bool on) { lineTiming_ = on; }
  void setSplitGapUs(int64_t us) { splitGapUs_ = us < 0 ? 0 : us; }
  void faultNext(SimModbusFault kind, int count);
  // Every `every`-th reply gets the fault (0 = none).
  void setStandingFault(SimModbusFault kind, int every);

  // The terminal has input: reads it and handles complete requests.
  void readable(int64_t nowUs);
  // A frame completed on a bus (the network's listener).
  void fromBus(int bus, const SimFrame& frame, int64_t timeUs, FrameOrigin origin);
  // Writes the output that is due.
  void write(int64_t nowUs);
  int64_t nextDueUs() const;

  // Well-formed requests as received, whole frames with their CRC (the last 10000).
  const std::vector<std::vector<uint8_t>>& requests() const { return requests_; }
  const SimModbusStats& stats() const { return stats_; }

 private:
  struct Segment {
    int64_t dueUs;
    std::vector<uint8_t> bytes;
  };
  void handleRequest(const uint8_t* frame, int size, int64_t nowUs);
  void queueReply(std::vector<uint8_t> reply, int64_t nowUs);
  bool takeFault(SimModbusFault& kind);
  // Time one character (start, data, parity, stop bits) needs at the line's
  // current settings; 0 without line timing.
  int64_t charUs() const;
  // The RTU silent interval after a frame; 0 without line timing.
  int64_t silenceUs() const;
  long baudRate() const;  // of the line's current settings, 0 when unknown

  SimNetwork& network_;
  int bus_;
  int master_ = -1;
  int slave_ = -1;  // held open so that the line does not hang up between users
  std::string path_;
  bool lineTiming_ = false;
  int64_t splitGapUs_ = 2000;
  std::vector<uint8_t> input_;
  int64_t lastInputUs_ = 0;
  std::map<int, int64_t> awaiting_;  // slave address -> when its request went out
  std::deque<SimModbusFault> nextFaults_;
  SimModbusFault standingKind_ = SimModbusFault::Silence;
  int standingEvery_ = 0;
  int replyCount_ = 0;
  std::deque<Segment> output_;
  int64_t lineFreeUs_ = 0;
  std::vector<std::vector<uint8_t>> requests_;
  SimModbusStats stats_;
};

// The Modbus RTU CRC-16 of the simulator's own frames.
uint16_t SimModbus_Crc16(const uint8_t* bytes, size_t count);
