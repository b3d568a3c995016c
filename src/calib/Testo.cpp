#include "calib/Testo.h"

#include <cstdarg>

#include "calib/InstrumentWire.h"
#include "calib/LeadingNumber.h"
#include "core/DebugLog.h"
#include "core/Session.h"
#include "core/TextFormat.h"

namespace {

struct TestoPart {
  Testo driver;
};

Testo& Driver() { return Session_Part<TestoPart>().driver; }

constexpr size_t kReadingLength = InstrumentWire::THERMOMETER_ANSWER_LENGTH;

}  // namespace

Testo::Testo() : InstrumentDriver(InstrumentWire::THERMOMETER_LINE) {}

InstrumentDriver::Take Testo::takeInt(const std::string& name, int value) {
  if (name != "channel") return Take::Unknown;
  if (value != 1 && value != 2) return Take::Refused;
  channel_ = value;
  return Take::Taken;
}

int Testo::cmd(const std::string& command, std::string& answer) {
  DebugLog("Testo_Cmd: '%s'", command.c_str());
  answer.clear();
  int err = 0;
  if (!port().write(command, err)) {
    setError(Text_Format("Windows WriteFile() error #%d", err));
    DebugLog("Testo_Cmd: WriteFile() error");
    return 0;
  }
  // The answer has no end mark: it is complete at its length, or when the line goes quiet.
  InstrumentPort::AnswerShape reading;
  reading.idleReads = IDLE_READS;
  reading.maxLength = reading.fullLength = kReadingLength;
  if (port().read(answer, reading, err) == InstrumentPort::ReadEnd::Error) {
    setError(Text_Format("Windows ReadFile() error #%d", err));
    DebugLog("Testo_Cmd: ReadFile() error");
    return 0;
  }
  if (!answer.empty()) {
    DebugLog("Testo_Get: --> '%s'", answer.c_str());
    return 1;
  }
  setError(Text_Format("Timeout, no response from Testo 701\nThe command was: '%s'", command.c_str()));
  DebugLog("Testo_Cmd: Timeout");
  return 0;
}

int Testo::get(double& celsius) {
  if (!begin()) return 0;
  const std::string command = Text_Format("J%d", channel_);
  const char probe = char('A' + channel_);
  std::string a;
  int result = 0;
  if (cmd(command, a)) {
    double value = 0;
    if (a.size() == kReadingLength && a[0] == probe && a[8] == 'C' &&
        LeadingNumber_Double(a.c_str() + 1, value)) {
      celsius = value;
      result = 1;
    } else if (a.size() == 1 && a[0] == probe) {
      setError(Text_Format("No sensor connected to Testo 701 channel %d", channel_));
    } else {
      setError(Text_Format("Unknown answer format\nThe command was: '%s'\nThe answer was: '%s'", command.c_str(),
                           a.c_str()));
    }
  }
  end();
  return result;
}

int Testo::check() {
  if (!begin()) return 0;
  const std::string command = Text_Format("J%d", channel_);
  std::string a;
  int result = cmd(command, a);
  if (!result) result = cmd(command, a);
  if (a.size() == kReadingLength && a[0] == char('A' + channel_)) result = 2;
  end();
  return result;
}

const std::string& Testo_LastError() { return Driver().lastError(); }
int Testo_SetInt(const char* name, int value) { return Driver().setInt(name, value); }
int Testo_SetDouble(const char* name, double value) { return Driver().setDouble(name, value); }
int Testo_SetString(const char* name, const char* value) { return Driver().setString(name, value); }
int Testo_Get(double& celsius) { return Driver().get(celsius); }
int Testo_Check() { return Driver().check(); }

int Testo_Cmd(std::string& answer, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string command = Text_FormatV(format, args);
  va_end(args);
  return Driver().cmd(command, answer);
}
