// The serial side of an instrument driver: the port opened by name with the
// instrument's line settings, commands written whole, answers read one byte at
// a time.
//
// An instrument is specified with per-byte reads of 1 ms time-out and a 1 ms
// pause after each read, giving up after a number of reads in a row that
// brought nothing. Here the same silence is waited for on the descriptor
// (poll) instead of in 2 ms steps: an answer may pause up to idleReads x 2 ms
// between two bytes, the first byte included.
#pragma once

#include <string>

#include "platform/SerialPort.h"

class InstrumentPort {
 public:
  // One read's time-out and the pause after it, which together make one idle step.
  static constexpr int READ_TIMEOUT_MS = 1;
  static constexpr int READ_PAUSE_MS = 1;
  // Bytes of an over-long answer read and dropped before the line is given up.
  static constexpr size_t MAX_DROPPED = 65536;

  explicit InstrumentPort(const char* lineSettings) : lineSettings_(lineSettings) {}

  // Opens the port exclusively, applies the line settings and raises DTR.
  // False with the error text ("Cannot open Serial Port ..." or "Cannot set
  // Serial Port parameters ...").
  bool open(const std::string& name, std::string& error);
  // Restores the port's own settings and closes it; a closed port is left alone.
  void close() { port_.close(); }
  bool isOpen() const { return port_.isOpen(); }

  // Drops bytes nobody asked for (a late answer to an earlier command), then
  // writes all bytes. False with the system error number (EBADF when closed).
  bool write(const std::string& bytes, int& errorNumber);

  // How an instrument's answer ends.
  struct AnswerShape {
    int idleReads = 0;      // idle steps in a row that end the waiting
    size_t maxLength = 0;   // characters kept; the rest of a longer answer is read and dropped
    int endByte = -1;       // the byte that ends an answer (-1 = none)
    size_t fullLength = 0;  // an answer is complete at this length (0 = no such length)
  };
  enum class ReadEnd { Complete, Silence, Error };
  // Reads one answer: Complete at its end byte or full length (and for an
  // over-long answer, also when the line goes silent); Silence when the line
  // stays silent for idleReads idle steps before that; Error when a read
  // fails, with the system error number.
  ReadEnd read(std::string& answer, const AnswerShape& shape, int& errorNumber);

 private:
  const char* lineSettings_;
  SerialPort port_;
};
