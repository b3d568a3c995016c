#include "bus/InterfaceSettings.h"

#include <strings.h>

#include <cctype>

#include "bus/EthMaster.h"
#include "bus/Interface.h"
#include "bus/ModbusLink.h"
#include "bus/PcanLink.h"
#include "bus/Ping.h"
#include "core/ErrorReport.h"
#include "core/Options.h"
#include "core/Session.h"
#include "core/TextFormat.h"
#include "ui/Ui.h"

namespace {

struct InterfaceSettingsState {
  int rememberedPage = TAB_INTERF_PCANUSB;
};

constexpr const char* kLabels[kInterfacePageCount] = {"PCAN USB", "KVX Master (Ethernet)", "Modbus"};
constexpr const char* kPageNames[kInterfacePageCount] = {"TAB_INTERF_PCANUSB", "TAB_INTERF_ETHERNET",
                                                          "TAB_INTERF_MODBUS"};
// The CAN bit-rate names of indices 0..7.
constexpr const char* kRates[8] = {"10 k", "20 k", "50 k", "100 k", "125 k", "250 k", "500 k", "1000 k"};
constexpr long kBauds[] = {1200, 9600, 19200, 57600};
constexpr const char* kProtocols[] = {"8N1", "8E1", "8O1"};
constexpr const char* kModes[] = {"RTU", "ASCII"};

template <class T, size_t N>
int countOf(const T (&)[N]) {
  return int(N);
}

std::string trimmed(const std::string& text) {
  size_t start = 0, end = text.size();
  while (start < end && std::isspace(static_cast<unsigned char>(text[start]))) ++start;
  while (end > start && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  return text.substr(start, end - start);
}

// An unsigned decimal number of at most 32 bits; false for anything else.
bool parseUnsigned(const std::string& text, unsigned long& value) {
  const std::string t = trimmed(text);
  if (t.empty() || t.size() > 10) return false;
  value = 0;
  for (char c : t) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + unsigned(c - '0');
  }
  return value <= 0xFFFFFFFFul;
}

// "8E1" shown as "8-E-1".
std::string protocolShown(const char* p) { return Text_Format("%c-%c-%c", p[0], p[1], p[2]); }

}  // namespace

const char* InterfaceSettings_PageLabel(int page) {
  return page >= 0 && page < kInterfacePageCount ? kLabels[page] : "";
}

const char* InterfaceSettings_PageName(int page) {
  return page >= 0 && page < kInterfacePageCount ? kPageNames[page] : "";
}

int InterfaceSettings_OpeningPage(int requested) {
  if (requested >= 0 && requested < kInterfacePageCount) return requested;
  return Session_Part<InterfaceSettingsState>().rememberedPage;
}

void InterfaceSettings_RememberPage(int page) {
  if (page >= 0 && page < kInterfacePageCount) Session_Part<InterfaceSettingsState>().rememberedPage = page;
}

int InterfaceSettings_PageForInterface(int interfaceType) {
  switch (interfaceType) {
    case kInterfaceEthernet: return TAB_INTERF_ETHERNET;
    case kInterfaceModbus: return TAB_INTERF_MODBUS;
    default: return -1;
  }
}

// ---- "PCAN USB" ----------------------------------------------------------------

PcanPageView PcanPage_Show() {
  PcanPageView v;
  v.rates.assign(std::begin(kRates), std::end(kRates));
  const int index = pCAN_GetBaudrate();
  v.selected = index >= 0 && index < 8 ? index : -1;
  v.showLibrary = FactoryMode();
  v.library = pCAN_LibraryLoaded() ? pCAN_LibraryPath() : "(not loaded)";
  return v;
}

void PcanPage_Store(const std::string& selectedRate) {
  for (int index = 0; index < 8; ++index) {
    if (selectedRate != kRates[index]) continue;
    // Setting the rate restarts a running adapter: only for a change.
    if (index != pCAN_GetBaudrate()) pCAN_SetBaudrate(index);
    Option_SetInt("PCANUSB_BAUDRATE", index);
    return;
  }
}

// ---- "KVX Master (Ethernet)" ------------------------------------------------

EthernetPageView EthernetPage_Show() {
  EthernetPageView v;
  v.host = EthMaster_GetHostName();
  v.port = Text_Format("%d", EthMaster_GetPort());
  v.openPlcDialog = Option_GetInt("ETH_OPEN_STARTSTOPDIALOG") != 0;
  return v;
}

void EthernetPage_Store(const EthernetPageView& fields) {
  EthMaster_SetHostName(fields.host.c_str());
  unsigned long port = 0;
  // The port is not edited here; text that is no port leaves it as it is.
  if (parseUnsigned(fields.port, port)) EthMaster_SetPort(port > 65535 ? 65535 : int(port));
  Option_SetString("ETHERNET_HOSTNAME", EthMaster_GetHostName());
  Option_SetInt("ETHERNET_PORTNO", EthMaster_GetPort());
  Option_SetInt("ETH_OPEN_STARTSTOPDIALOG", fields.openPlcDialog ? 1 : 0);
}

void EthernetPage_Ping(const std::string& hostField) {
  const std::string host = trimmed(hostField);
  if (host.empty()) {
    ShowErrorBox("Ping: No hostname");
    return;
  }
  SetWaitCursor(1);
  const int answered = Ping_Host(host.c_str(), 1);
  SetWaitCursor(0);
  if (answered)
    Ui_MessageBox(Text_Format("Ping successful:\n%s", Ping_ResultText()), "Success", UiButtons::Ok,
                  UiIcon::Information);
  else
    ShowErrorBox("Ping failed:\n%s", Ping_ResultText());
}

// ---- "Modbus" ------------------------------------------------------------------

ModbusPageView ModbusPage_Show(const std::vector<std::string>& ports) {
  ModbusPageView v;
  v.ports = ports;
  const std::string stored = Option_GetString("MODBUS_COMPORTNAME");
  for (size_t i = 0; i < ports.size() && v.portIndex < 0; ++i)
    if (strcasecmp(ports[i].c_str(), stored.c_str()) == 0) v.portIndex = int(i);
  if (v.portIndex >= 0) {
    v.portText = ports[size_t(v.portIndex)];
  } else if (!stored.empty() && stored[0] == '/') {
    v.portText = stored;  // a device path typed before (a simulator's line) stays
  } else if (!ports.empty()) {
    v.portIndex = 0;
    v.portText = ports[0];
  }

  for (long baud : kBauds) v.bauds.push_back(Text_Format("%ld", baud));
  const long baud = Option_GetLong("MODBUS_BAUDRATE");
  for (int i = 0; i < countOf(kBauds); ++i)
    if (kBauds[i] == baud) v.baudIndex = i;

  const char* protocol = Option_GetString("MODBUS_PROTOCOL");
  for (int i = 0; i < countOf(kProtocols); ++i) {
    v.protocols.push_back(protocolShown(kProtocols[i]));
    if (strcasecmp(kProtocols[i], protocol) == 0) v.protocolIndex = i;
  }

  v.modes.assign(std::begin(kModes), std::end(kModes));
  const int mode = Option_GetInt("MODBUS_MODE");
  v.modeIndex = mode < 0 ? 0 : mode > 1 ? 1 : mode;
  return v;
}

void ModbusPage_Store(const ModbusPageInput& input, const std::vector<std::string>& ports) {
  std::string port = trimmed(input.portText);
  if (port.empty() && !ports.empty()) port = ports[0];
  // A name too long for the option is refused by it; the link then keeps
  // getting what the option holds.
  if (!port.empty()) Option_SetString("MODBUS_COMPORTNAME", port.c_str());
  const int baud = input.baudIndex >= 0 && input.baudIndex < countOf(kBauds) ? input.baudIndex : 0;
  Option_SetLong("MODBUS_BAUDRATE", int32_t(kBauds[baud]));
  const int protocol =
      input.protocolIndex >= 0 && input.protocolIndex < countOf(kProtocols) ? input.protocolIndex : 0;
  Option_SetString("MODBUS_PROTOCOL", kProtocols[protocol]);
  const int mode = input.modeIndex >= 0 && input.modeIndex < countOf(kModes) ? input.modeIndex : 0;
  Option_SetInt("MODBUS_MODE", mode);

  Modbus_SetMode(mode);
  Modbus_SetPortName(Option_GetString("MODBUS_COMPORTNAME"));
  Modbus_SetBaudrate(Option_GetLong("MODBUS_BAUDRATE"));
  Modbus_SetProtocol(Option_GetString("MODBUS_PROTOCOL"));
}
