#include "calib/InstrumentPort.h"

#include <cerrno>

#include "core/TextFormat.h"
#include "platform/Clock.h"
#include "platform/Poll.h"

bool InstrumentPort::open(const std::string& name, std::string& error) {
  if (!port_.open(name)) {
    error = Text_Format("Cannot open Serial Port %s\n(Windows error #%d)", name.c_str(), port_.lastErrno());
    return false;
  }
  if (!port_.configure(lineSettings_)) {
    error = Text_Format("Cannot set Serial Port parameters\n(Windows error #%d)", port_.lastErrno());
    port_.close();
    return false;
  }
  // Reads only look; waiting is done on the descriptor. No write time-out.
  port_.setTimeouts(SerialTimeouts{});
  // DTR is raised for the instrument; a pseudo-terminal has no DTR, which is
  // no reason to give up.
  port_.setDtr(true);
  return true;
}

bool InstrumentPort::write(const std::string& bytes, int& errorNumber) {
  if (port_.isOpen()) port_.flushInput();
  const int written = port_.write(bytes.data(), int(bytes.size()));
  if (written == int(bytes.size())) return true;
  errorNumber = port_.lastErrno();
  return false;
}

InstrumentPort::ReadEnd InstrumentPort::read(std::string& answer, const AnswerShape& shape, int& errorNumber) {
  answer.clear();
  const int64_t silenceMs = int64_t(shape.idleReads) * (READ_TIMEOUT_MS + READ_PAUSE_MS);
  int64_t deadline = Clock_NowMs() + silenceMs;
  size_t dropped = 0;
  bool readyButEmpty = false;
  for (;;) {
    char c = 0;
    const int n = port_.read(&c, 1);
    if (n < 0) {
      errorNumber = port_.lastErrno();
      return ReadEnd::Error;
    }
    if (n == 1) {
      // The rest of an over-long answer is read to its end, so that it does not
      // become the answer to the next command; a line that never ends is cut off.
      if (answer.size() < shape.maxLength) {
        answer.push_back(c);
      } else if (++dropped > MAX_DROPPED) {
        port_.flushInput();
        return ReadEnd::Complete;
      }
      if (c == shape.endByte || (shape.fullLength > 0 && answer.size() >= shape.fullLength)) {
        return ReadEnd::Complete;
      }
      deadline = Clock_NowMs() + silenceMs;
      readyButEmpty = false;
      continue;
    }
    // A line that reports data and then has none has hung up: nothing more will come.
    int ready = 0;
    if (!readyButEmpty) ready = Poll_WaitReadableUntil(port_.fd(), deadline);
    if (ready < 0) {
      errorNumber = errno;
      return ReadEnd::Error;
    }
    if (ready == 0 || readyButEmpty) return dropped > 0 ? ReadEnd::Complete : ReadEnd::Silence;
    readyButEmpty = true;
  }
}
