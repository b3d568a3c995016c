#include "master/ClientOutput.h"

#include <algorithm>

#include "core/EventQueue.h"
#include "master/WireFormat.h"

namespace {
constexpr size_t kLogLimit = 100000;  // frames kept in the log; the oldest half goes when full

template <typename T>
void AppendBounded(std::vector<T>& log, const T& item) {
  if (log.size() >= kLogLimit) log.erase(log.begin(), log.begin() + kLogLimit / 2);
  log.push_back(item);
}
}  // namespace

void ClientOutput::corruptNext(SimCorruption kind, int count) {
  for (int i = 0; i < count; ++i) corruptions_.push_back(kind);
}

uint32_t ClientOutput::nextRandom() {
  // xorshift64*: fast and repeatable.
  random_ ^= random_ >> 12;
  random_ ^= random_ << 25;
  random_ ^= random_ >> 27;
  return uint32_t((random_ * 0x2545F4914F6CDD1DULL) >> 32);
}

bool ClientOutput::chance(double share) {
  if (!(share > 0.0)) return false;
  return nextRandom() < share * 4294967296.0;
}

// One data byte changed (a frame without data gets a byte), or the length one short.
void ClientOutput::spoilAtRandom(SimFrame& frame) {
  ++spoiled_;
  if (frame.len > 0 && nextRandom() % 4 == 0) {
    --frame.len;
    return;
  }
  if (frame.len == 0) frame.data[frame.len++] = 0;
  const uint32_t r = nextRandom();
  frame.data[r % frame.len] ^= uint8_t(1u << ((r >> 8) % 8));
}

bool ClientOutput::shouldDrop() {
  if (dropNext_ > 0) {
    --dropNext_;
    return true;
  }
  if (chance(faults_.randomDropShare)) return true;
  double share = std::clamp(faults_.dropShare, 0.0, 1.0);
  if (share <= 0.0) return false;
  // Spread evenly: a share of 0.25 drops exactly every fourth frame.
  dropCredit_ += share;
  if (dropCredit_ >= 1.0 - 1e-9) {
    dropCredit_ -= 1.0;
    return true;
  }
  return false;
}

void ClientOutput::corrupt(SimFrame& frame, std::vector<uint8_t>& bytes, SimCorruption kind) const {
  switch (kind) {
    case SimCorruption::LengthAbove8: {
      // The nibble says more than 8; as many bytes follow as it says, so a
      // receiver that honours the nibble stays in step with the stream.
      int nibble = std::clamp(faults_.badLengthNibble, 9, 15);
      bytes[8] = uint8_t((bytes[8] & 0xF0) | nibble);
      bytes.resize(9 + nibble, 0xEE);
      break;
    }
    case SimCorruption::WrongCommand:
      if (frame.len > 0) bytes[9] ^= 0x01;
      break;
    case SimCorruption::ShortReply:
      if (frame.len > 0) {
        bytes[8] = uint8_t((bytes[8] & 0xF0) | (frame.len - 1));
        bytes.pop_back();
      }
      break;
  }
}

void ClientOutput::queueFrame(const SimFrame& frame, int64_t timeUs) {
  if (closing_) return;
  if (shouldDrop()) {
    ++dropped_;
    return;
  }
  SimFrame asSent = frame;
  if (chance(faults_.randomCorruptShare)) spoilAtRandom(asSent);
  AppendBounded(sent_, SimTimedFrame{timeUs, asSent, timeUs});
  uint32_t stamp = zeroTimeStamps_ ? 0 : static_cast<uint32_t>(std::max<int64_t>(1, timeUs / 1000));
  std::vector<uint8_t> bytes = EncodeMasterFrame(asSent, stamp);
  SimFrame spoiled = asSent;
  if (!corruptions_.empty()) {
    corrupt(spoiled, bytes, corruptions_.front());
    corruptions_.pop_front();
  }
  int64_t release = timeUs + int64_t(std::max(0, faults_.delayMs)) * 1000;
  if (chance(faults_.randomDelayShare)) {
    ++delayed_;
    release += int64_t(nextRandom() % uint32_t(std::max(1, faults_.randomDelayMaxMs) * 1000 + 1));
  }

  if (closeMidFrame_) {
    closeMidFrame_ = false;
    flushBatch();
    bytes.resize(bytes.size() / 2);
    addSegment(std::move(bytes), release, true);
    closing_ = true;
    return;
  }
  if (faults_.batchFrames > 1) {
    if (batchCount_ == 0) batchStartUs_ = release;
    batch_.insert(batch_.end(), bytes.begin(), bytes.end());
    if (++batchCount_ >= faults_.batchFrames) flushBatch();
    return;
  }
  flushBatch();  // batching was switched off meanwhile
  if (faults_.splitBytes > 0 && bytes.size() > size_t(faults_.splitBytes)) {
    int64_t gap = int64_t(std::max(0, faults_.splitGapMs)) * 1000;
    size_t step = size_t(faults_.splitBytes);
    for (size_t off = 0, k = 0; off < bytes.size(); off += step, ++k) {
      size_t end = std::min(bytes.size(), off + step);
      addSegment(std::vector<uint8_t>(bytes.begin() + off, bytes.begin() + end), release + int64_t(k) * gap);
    }
    return;
  }
  addSegment(std::move(bytes), release);
}

void ClientOutput::queueRaw(const std::vector<uint8_t>& bytes, int64_t timeUs) {
  if (closing_ || bytes.empty()) return;
  flushBatch();
  addSegment(bytes, timeUs);
}

void ClientOutput::addSegment(std::vector<uint8_t> bytes, int64_t releaseUs, bool closeAfter) {
  releaseUs = std::max(releaseUs, lastReleaseUs_);  // the stream keeps its order
  lastReleaseUs_ = releaseUs;
  if (!sent_.empty() && sent_.back().releaseUs < releaseUs) sent_.back().releaseUs = releaseUs;
  segments_.push_back(Segment{std::move(bytes), releaseUs, closeAfter});
}

void ClientOutput::flushBatch() {
  if (batchCount_ == 0) return;
  addSegment(std::move(batch_), batchStartUs_);
  batch_.clear();
  batchCount_ = 0;
}

bool ClientOutput::take(int64_t nowUs, Segment& out) {
  if (batchCount_ > 0 && nowUs >= batchStartUs_ + int64_t(faults_.batchWaitMs) * 1000) flushBatch();
  if (segments_.empty() || segments_.front().releaseUs > nowUs) return false;
  if (hold_) {
    if (credits_ <= 0) return false;
    --credits_;
  }
  out = std::move(segments_.front());
  segments_.pop_front();
  return true;
}

int64_t ClientOutput::nextDueUs() const {
  int64_t due = EventQueue::kNever;
  if (batchCount_ > 0) due = batchStartUs_ + int64_t(faults_.batchWaitMs) * 1000;
  if (!segments_.empty() && (!hold_ || credits_ > 0)) due = std::min(due, segments_.front().releaseUs);
  return due;
}

void ClientOutput::reset() {
  segments_.clear();
  batch_.clear();
  batchCount_ = 0;
  closeMidFrame_ = false;
  closing_ = false;
  credits_ = 0;
  lastReleaseUs_ = 0;
}
