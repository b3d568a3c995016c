// The exchange both calibrators share: a command line ending in CR LF, one
// answer line back, "OK" for success. Also their common parameters (addr,
// outputType) and switching off by addressing.
#pragma once

#include <string>

#include "calib/InstrumentDriver.h"

class LineCalibrator : public InstrumentDriver {
 public:
  // Reads in a row without a byte before an answer is given up.
  static constexpr int IDLE_READS = 100;
  // The longest answer kept; the rest of a longer one is read and dropped.
  static constexpr size_t MAX_ANSWER = 1023;

  // sendName starts the debug-log lines ("MetraHit_Send"); timeoutText is the
  // error text when the instrument does not answer.
  LineCalibrator(const char* sendName, const char* timeoutText);

  // Sends one command and waits for its answer: 1 when the answer is "OK",
  // else 0 with the error text.
  int send(const std::string& command);
  // The answer to the last command, without its line end.
  const std::string& lastAnswer() const { return answer_; }

  // Addresses the calibrator ("ADDR n", once more when the first fails); no
  // other command. 1 when it answered, else 0.
  int off();

  int addr() const { return addr_; }
  int outputType() const { return outputType_; }

 protected:
  Take takeInt(const std::string& name, int value) override;
  // Sends "ADDR n" twice; the first answer does not count. 1 when the second
  // was answered "OK".
  int address();

 private:
  const char* sendName_;
  const char* timeoutText_;
  std::string answer_;
  int addr_ = 15;
  int outputType_ = 1;
};
