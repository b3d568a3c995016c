#include "calib/Calibrator.h"

#include "calib/MetraHit.h"
#include "calib/VornCalib.h"
#include "core/Options.h"
#include "core/TextFormat.h"

namespace {

// The port and address of the calibrator from the options.
void TakePortFromOptions(int n) {
  if (n == CALIBRATOR_METRAHIT) {
    MetraHit_SetString("comPortName", Option_GetString("METRAHIT_COMPORTNAME"));
    MetraHit_SetInt("addr", Option_GetInt("METRAHIT_ADDR"));
  } else if (n == CALIBRATOR_VORNBOX) {
    VornCalib_SetString("comPortName", Option_GetString("VORNBOX1_COMPORTNAME"));
    VornCalib_SetInt("addr", Option_GetInt("VORNBOX1_ADDR"));
  }
}

}  // namespace

const char* Calibrator_Name(int n) {
  switch (n) {
    case CALIBRATOR_METRAHIT: return "Metrahit 28c";
    case CALIBRATOR_VORNBOX: return "Vorn Box";
    default: return "";
  }
}

std::string Calibrator_ErrorText(int n) {
  switch (n) {
    case CALIBRATOR_METRAHIT: return Text_Format("%s: %s", Calibrator_Name(n), MetraHit_LastError().c_str());
    case CALIBRATOR_VORNBOX: return Text_Format("%s: %s", Calibrator_Name(n), VornCalib_LastError().c_str());
    default: return "";
  }
}

int Calibrator_SetTcReference(int n, int external, double value) {
  if (n != CALIBRATOR_METRAHIT) return 0;
  MetraHit_SetInt("tempTcRefExt", external);
  MetraHit_SetDouble("tempTcRefExtVal", value);
  return 1;
}

int Calibrator_SetOutput(int n, int outputType, double value) {
  TakePortFromOptions(n);
  if (n == CALIBRATOR_METRAHIT) {
    MetraHit_SetInt("outputType", outputType);
    MetraHit_SetString("tempUnit", "C");
    return MetraHit_SetOutput(value);
  }
  if (n == CALIBRATOR_VORNBOX) {
    VornCalib_SetInt("outputType", outputType);
    return VornCalib_SetOutput(value);
  }
  return 0;
}

int Calibrator_Off(int n) {
  TakePortFromOptions(n);
  if (n == CALIBRATOR_METRAHIT) return MetraHit_Off();
  if (n == CALIBRATOR_VORNBOX) return VornCalib_Off();
  return 0;
}
