// Everything the master sends to its client passes through here on its way
// to the socket: encoding with time stamp, and the injected faults (drop,
// delay, corrupt, split, batch, hold, close mid-frame). The result is a queue
// of segments, each to be written with one send() at or after its release time.
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "SimServer.h"
#include "core/SimFrame.h"

class ClientOutput {
 public:
  struct Segment {
    std::vector<uint8_t> bytes;
    int64_t releaseUs = 0;
    bool closeAfter = false;  // close the connection once this is written
  };

  void setFaults(const SimFaults& faults) {
    if (faults.randomSeed != faults_.randomSeed) random_ = faults.randomSeed ? faults.randomSeed : 1;
    faults_ = faults;
  }
  const SimFaults& faults() const { return faults_; }
  void setZeroTimeStamps(bool zero) { zeroTimeStamps_ = zero; }
  void dropNext(int count) { dropNext_ += count > 0 ? count : 0; }
  void corruptNext(SimCorruption kind, int count);
  void closeMidFrame() { closeMidFrame_ = true; }
  void hold(bool on) { hold_ = on; if (!on) credits_ = 0; }
  void release(int count) { credits_ += count > 0 ? count : 0; }

  // A frame for the client that completed on its bus at timeUs.
  void queueFrame(const SimFrame& frame, int64_t timeUs);
  // Bytes exactly as given, one segment, no faults.
  void queueRaw(const std::vector<uint8_t>& bytes, int64_t timeUs);

  // The next segment that may be written at nowUs; false when none.
  bool take(int64_t nowUs, Segment& out);
  // When the next segment (or an incomplete batch) becomes due; kNever when nothing waits.
  int64_t nextDueUs() const;
  int pendingSegments() const { return static_cast<int>(segments_.size()); }
  // Forgets queued output and one-shot faults in progress (a new client).
  void reset();

  // Frames queued for the client (before corruption), and how many were dropped.
  const std::vector<SimTimedFrame>& sentLog() const { return sent_; }
  void clearLog() { sent_.clear(); }
  int dropped() const { return dropped_; }
  int spoiled() const { return spoiled_; }
  int delayed() const { return delayed_; }

 private:
  bool shouldDrop();
  bool chance(double share);
  uint32_t nextRandom();
  void spoilAtRandom(SimFrame& frame);
  void corrupt(SimFrame& frame, std::vector<uint8_t>& bytes, SimCorruption kind) const;
  void addSegment(std::vector<uint8_t> bytes, int64_t releaseUs, bool closeAfter = false);
  void flushBatch();

  SimFaults faults_;
  bool zeroTimeStamps_ = false;
  int dropNext_ = 0;
  double dropCredit_ = 0.0;
  std::deque<SimCorruption> corruptions_;
  bool closeMidFrame_ = false;
  bool closing_ = false;  // a close is queued: nothing more goes out
  bool hold_ = false;
  int credits_ = 0;
  std::deque<Segment> segments_;
  std::vector<uint8_t> batch_;
  int batchCount_ = 0;
  int64_t batchStartUs_ = 0;
  int64_t lastReleaseUs_ = 0;
  std::vector<SimTimedFrame> sent_;
  int dropped_ = 0;
  int spoiled_ = 0;
  int delayed_ = 0;
  uint64_t random_ = 1;
};
