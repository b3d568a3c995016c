#include "calib/LineCalibrator.h"

#include "calib/InstrumentWire.h"
#include "core/DebugLog.h"
#include "core/TextFormat.h"

LineCalibrator::LineCalibrator(const char* sendName, const char* timeoutText)
    : InstrumentDriver(InstrumentWire::CALIBRATOR_LINE), sendName_(sendName), timeoutText_(timeoutText) {}

InstrumentDriver::Take LineCalibrator::takeInt(const std::string& name, int value) {
  if (name == "addr") {
    addr_ = value;
  } else if (name == "outputType") {
    outputType_ = value;
  } else {
    return Take::Unknown;
  }
  return Take::Taken;
}

int LineCalibrator::send(const std::string& command) {
  DebugLog("%s: '%s'", sendName_, command.c_str());
  answer_.clear();
  int err = 0;
  if (!port().write(command + "\r\n", err)) {
    setError(Text_Format("Windows WriteFile() error #%d", err));
    DebugLog("%s: WriteFile() error", sendName_);
    return 0;
  }
  InstrumentPort::AnswerShape line;
  line.idleReads = IDLE_READS;
  line.maxLength = MAX_ANSWER;
  line.endByte = '\n';
  switch (port().read(answer_, line, err)) {
    case InstrumentPort::ReadEnd::Error:
      setError(Text_Format("Windows ReadFile() error #%d", err));
      DebugLog("%s: ReadFile() error", sendName_);
      return 0;
    case InstrumentPort::ReadEnd::Silence:
      setError(timeoutText_);
      DebugLog("%s: Timeout", sendName_);
      return 0;
    case InstrumentPort::ReadEnd::Complete:
      break;
  }
  // The line end goes: LF, and the CR before it when there is one.
  if (!answer_.empty() && answer_.back() == '\n') answer_.pop_back();
  if (!answer_.empty() && answer_.back() == '\r') answer_.pop_back();
  DebugLog("%s: --> '%s'", sendName_, answer_.c_str());
  if (answer_ == InstrumentWire::CALIBRATOR_OK) return 1;
  setError(Text_Format("%s\nThe command was:\n%s", answer_.c_str(), command.c_str()));
  return 0;
}

int LineCalibrator::address() {
  const std::string command = Text_Format("ADDR %d", addr_);
  send(command);
  return send(command);
}

int LineCalibrator::off() {
  if (!begin()) return 0;
  const std::string command = Text_Format("ADDR %d", addr_);
  int result = send(command);
  if (!result) result = send(command);
  end();
  return result;
}
