#include "calib/VornCalib.h"

#include <cstdarg>

#include "core/NumberText.h"
#include "core/Session.h"
#include "core/TextFormat.h"

namespace {

struct VornCalibPart {
  VornCalib driver;
};

VornCalib& Driver() { return Session_Part<VornCalibPart>().driver; }

}  // namespace

const char* VornCalib_OutputName(int outputType) {
  switch (outputType) {
    case -1: return "OFF";
    case 1: return "VOLTAGE";
    case 2: return "CURRENT";
    case 3: return "TCK";
    case 4: return "TCJ";
    case 5: return "PT100";
    case 6: return "PT1000";
    case 7: return "NI100";
    case 8: return "NI1000";
    case 13: return "TCS";
    default: return nullptr;
  }
}

VornCalib::VornCalib() : LineCalibrator("VornCalib_Send", "Timeout, no response from Vorn Box") {}

int VornCalib::setOutput(double value) {
  const char* name = VornCalib_OutputName(outputType());
  if (!name) {
    setError(Text_Format("Unsupported output type %d", outputType()));
    return 0;
  }
  if (!begin()) return 0;
  int result = 0;
  if (address()) {
    result = outputType() == -1 ? send("OUT OFF")
                                : send(Text_Format("OUT %s %s", name, NumberText_FormatFixed(value).c_str()));
  }
  end();
  return result;
}

const std::string& VornCalib_LastError() { return Driver().lastError(); }
int VornCalib_SetInt(const char* name, int value) { return Driver().setInt(name, value); }
int VornCalib_SetDouble(const char* name, double value) { return Driver().setDouble(name, value); }
int VornCalib_SetString(const char* name, const char* value) { return Driver().setString(name, value); }
int VornCalib_SetOutput(double value) { return Driver().setOutput(value); }
int VornCalib_Off() { return Driver().off(); }

int VornCalib_Send(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string command = Text_FormatV(format, args);
  va_end(args);
  return Driver().send(command);
}
