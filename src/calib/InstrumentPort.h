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

#include <functional>
#include <string>

#include "platform/SerialPort.h"

class InstrumentPort {
 public:
  // One read's time-out and the pause after it, which together make one idle step.
  static constexpr int READ_TIMEOUT_MS = 1;
  static constexpr int READ_PAUSE_MS = 1;

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

  enum class ReadEnd { Complete, Silence, Error };
  // Reads bytes into answer until complete(answer) is true (Complete), until
  // maxLength bytes have come (Complete; the rest still on the line is
  // dropped), until the line stays silent for idleReads idle steps (Silence)
  // or a read fails (Error, with the system error number).
  ReadEnd read(std::string& answer, int idleReads, size_t maxLength,
               const std::function<bool(const std::string&)>& complete, int& errorNumber);

 private:
  const char* lineSettings_;
  SerialPort port_;
};
