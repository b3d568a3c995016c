#include "calib/MetraHit.h"

#include <cmath>
#include <cstdarg>
#include <cstring>

#include "core/NumberText.h"
#include "core/Session.h"
#include "core/TextFormat.h"

namespace {

struct MetraHitPart {
  MetraHit driver;
};

MetraHit& Driver() { return Session_Part<MetraHitPart>().driver; }

bool StartsWith(const char* text, const char* prefix) { return std::strncmp(text, prefix, std::strlen(prefix)) == 0; }

}  // namespace

const char* MetraHit_SourceFunction(int outputType) {
  switch (outputType) {
    case -1: return "";
    case 1:
    case 9:
    case 16: return "VOLT:RANG 0.15E+2,";
    case 2: return "CURR:ISOUR,RANG 0-24,";
    case 3: return "TEMP:TC K::";
    case 4: return "TEMP:TC J::";
    case 5: return "TEMP:RTD PT100::";
    case 6: return "TEMP:RTD PT1000::";
    case 7: return "TEMP:RTD NI100::";
    case 8: return "TEMP:RTD NI1000::";
    case 13: return "TEMP:TC S::";
    case 17: return "VOLT:RANG 0.1E+2,";
    default: return nullptr;
  }
}

std::string MetraHit_FormatNumber(double value) {
  const char* sign = "";
  if (value < 0) {
    sign = "-";
    value = -value;
  }
  if (value < 1e-9) return "0.999999E-9";
  int exponent = 0;
  while (value >= 1.0 && exponent < 99) {
    value /= 10;
    ++exponent;
  }
  while (value < 0.1 && exponent > -99) {
    value *= 10;
    --exponent;
  }
  return sign + NumberText_FormatFixed(value) + Text_Format("E%+d", exponent);
}

MetraHit::MetraHit() : LineCalibrator("MetraHit_Send", "Timeout, no response from MetraHit") {}

InstrumentDriver::Take MetraHit::takeInt(const std::string& name, int value) {
  if (name != "tempTcRefExt") return LineCalibrator::takeInt(name, value);
  tempTcRefExt_ = value != 0;
  return Take::Taken;
}

InstrumentDriver::Take MetraHit::takeDouble(const std::string& name, double value) {
  if (name == "tempTcRefExtVal") {
    tempTcRefExtVal_ = value;
  } else if (name == "tempRtdRlead") {
    tempRtdRlead_ = value;
  } else {
    return Take::Unknown;
  }
  return Take::Taken;
}

InstrumentDriver::Take MetraHit::takeString(const std::string& name, const std::string& value) {
  if (name != "tempUnit") return Take::Unknown;
  tempUnit_ = value;
  return Take::Taken;
}

int MetraHit::sendTemperatureSettings(const std::string& function) {
  const char* f = function.c_str();
  if (StartsWith(f, "TEMP:TC")) {
    return send("SET:TEMP:UNIT " + tempUnit_) &&
           send(std::string("SET:TEMP:COMP ") + (tempTcRefExt_ ? "EXT" : "INT")) &&
           send("SET:TEMP:EREF " + MetraHit_FormatNumber(tempTcRefExtVal_));
  }
  if (StartsWith(f, "TEMP:RTD")) {
    return send("SET:TEMP:UNIT " + tempUnit_) && send("SET:TEMP:R_L " + MetraHit_FormatNumber(tempRtdRlead_));
  }
  return 1;
}

int MetraHit::setOutput(double value) {
  const char* function = MetraHit_SourceFunction(outputType());
  if (!function) {
    setError(Text_Format("Unsupported output type %d", outputType()));
    return 0;
  }
  if (outputType() == -1) return 1;
  if (!begin()) return 0;
  int result = 0;
  if (address() && sendTemperatureSettings(function)) {
    result = send(Text_Format("SOUR:%sVAL %s", function, MetraHit_FormatNumber(value).c_str()));
  }
  end();
  return result;
}

const std::string& MetraHit_LastError() { return Driver().lastError(); }
int MetraHit_SetInt(const char* name, int value) { return Driver().setInt(name, value); }
int MetraHit_SetDouble(const char* name, double value) { return Driver().setDouble(name, value); }
int MetraHit_SetString(const char* name, const char* value) { return Driver().setString(name, value); }
int MetraHit_SetOutput(double value) { return Driver().setOutput(value); }
int MetraHit_Off() { return Driver().off(); }

int MetraHit_Send(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string command = Text_FormatV(format, args);
  va_end(args);
  return Driver().send(command);
}
