#include "calib/InstrumentSettings.h"

#include <strings.h>

#include "calib/Calibrator.h"
#include "calib/Testo.h"
#include "core/ErrorReport.h"
#include "core/Options.h"
#include "core/TextFormat.h"
#include "ui/Ui.h"

namespace {

constexpr int kBroadcast = 15;

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

std::vector<std::string> InstrumentSettings_PortChoices(const std::vector<std::string>& existing,
                                                        const std::string& stored) {
  std::vector<std::string> choices = existing;
  bool present = false;
  for (const std::string& c : choices) present = present || strcasecmp(c.c_str(), stored.c_str()) == 0;
  if (!stored.empty() && !present) choices.push_back(stored);
  return choices;
}

int InstrumentSettings_PortIndex(const std::vector<std::string>& choices, const std::string& stored) {
  for (size_t i = 0; i < choices.size(); ++i) {
    if (strcasecmp(choices[i].c_str(), stored.c_str()) == 0) return int(i);
  }
  return 0;
}

std::string InstrumentSettings_PortToStore(const std::string& text, const std::vector<std::string>& choices) {
  const std::string name = Trimmed(text);
  if (!name.empty()) return name;
  return choices.empty() ? "" : choices[0];
}

std::vector<std::string> InstrumentSettings_AddressChoices() {
  std::vector<std::string> choices;
  for (int a = 0; a < kBroadcast; ++a) choices.push_back(std::to_string(a));
  choices.push_back("15 (Broadcast)");
  return choices;
}

int InstrumentSettings_AddressIndex(int address) {
  return address < 0 ? 0 : address > kBroadcast ? kBroadcast : address;
}

int InstrumentSettings_AddressToStore(int index) { return index >= 0 && index <= kBroadcast ? index : kBroadcast; }

int InstrumentSettings_ChannelIndex(int channel) { return channel == 2 ? 1 : 0; }

int InstrumentSettings_ChannelToStore(int index) { return index == 1 ? 2 : 1; }

const char* InstrumentSettings_PortOption(int calibrator) {
  return calibrator == CALIBRATOR_VORNBOX ? "VORNBOX1_COMPORTNAME" : "METRAHIT_COMPORTNAME";
}

const char* InstrumentSettings_AddressOption(int calibrator) {
  return calibrator == CALIBRATOR_VORNBOX ? "VORNBOX1_ADDR" : "METRAHIT_ADDR";
}

void InstrumentSettings_TestCalibrator(int calibrator, const std::string& entered, int address) {
  if (!entered.empty()) Option_SetString(InstrumentSettings_PortOption(calibrator), entered.c_str());
  Option_SetInt(InstrumentSettings_AddressOption(calibrator), address);
  const std::string port = Option_GetString(InstrumentSettings_PortOption(calibrator));
  SetWaitCursor(1);
  const int ok = Calibrator_Off(calibrator);
  SetWaitCursor(0);
  if (ok) {
    Ui_MessageBox(Text_Format("Test successful\nCom Port %s, Address %d", port.c_str(), address), "Success",
                  UiButtons::Ok, UiIcon::Information);
  } else {
    ShowErrorBox("Test failed, cannot reach %s\nCom Port %s, Address %d\n%s", Calibrator_Name(calibrator),
                 port.c_str(), address, Calibrator_ErrorText(calibrator).c_str());
  }
}

void InstrumentSettings_TestTesto(const std::string& entered, int channel) {
  if (!entered.empty()) Option_SetString("TESTO_COMPORTNAME", entered.c_str());
  Option_SetInt("TESTO_CHAN", channel);
  const std::string port = Option_GetString("TESTO_COMPORTNAME");
  Testo_SetString("comPortName", port.c_str());
  Testo_SetInt("channel", channel);
  SetWaitCursor(1);
  const int result = Testo_Check();
  SetWaitCursor(0);
  if (result == 2) {
    Ui_MessageBox(Text_Format("Test successful\nCom Port %s\nChannel %d", port.c_str(), channel), "Success",
                  UiButtons::Ok, UiIcon::Information);
  } else if (result == 1) {
    Ui_MessageBox(Text_Format("Com Port %s: ok\nChannel %d: No Sensor connected", port.c_str(), channel),
                  "No Sensor", UiButtons::Ok, UiIcon::Warning);
  } else {
    ShowErrorBox("Test failed, cannot reach TESTO 701\nCom Port %s\n%s", port.c_str(), Testo_LastError().c_str());
  }
}
