// The rules of the "Interface Settings" dialog's pages, apart from the widgets:
// what each page shows when it appears, and what it stores (in the options
// and in the links at once) when it is left. The dialog remembers the page
// last selected for its next opening.
#pragma once

#include <string>
#include <vector>

enum : int {
  TAB_INTERF_PCANUSB = 0,
  TAB_INTERF_ETHERNET = 1,
  TAB_INTERF_MODBUS = 2,
  kInterfacePageCount = 3,
};

const char* InterfaceSettings_PageLabel(int page);  // "PCAN USB", "KVX Master (Ethernet)", "Modbus"
const char* InterfaceSettings_PageName(int page);   // "TAB_INTERF_PCANUSB", ...
// The page to open at: the one asked for (0..2), else the one remembered.
int InterfaceSettings_OpeningPage(int requested);
void InterfaceSettings_RememberPage(int page);
// The page for a failed open of an interface type: Ethernet 1, Modbus 2, else -1.
int InterfaceSettings_PageForInterface(int interfaceType);

// ---- "PCAN USB" ----------------------------------------------------------------
struct PcanPageView {
  std::vector<std::string> rates;  // "10 k" .. "1000 k"
  int selected = -1;
  bool showLibrary = false;        // factory mode
  std::string library;             // the loaded library's path, or "(not loaded)"
};
PcanPageView PcanPage_Show();
// Sets the adapter's bit rate to the named one and stores PCANUSB_BAUDRATE.
// The adapter is only restarted when the rate changed.
void PcanPage_Store(const std::string& selectedRate);

// ---- "KVX Master (Ethernet)" ------------------------------------------------
struct EthernetPageView {
  std::string host;
  std::string port;  // shown, not edited
  bool openPlcDialog = false;
};
EthernetPageView EthernetPage_Show();
// Hands host and port to the link and stores what the link made of them in
// ETHERNET_HOSTNAME / ETHERNET_PORTNO, the box in ETH_OPEN_STARTSTOPDIALOG.
void EthernetPage_Store(const EthernetPageView& fields);
// "Ping": pings the host once and reports the outcome in a message box.
void EthernetPage_Ping(const std::string& hostField);

// ---- "Modbus" ------------------------------------------------------------------
struct ModbusPageView {
  std::vector<std::string> ports;
  int portIndex = -1;
  std::string portText;             // what the port selector shows (it takes a typed path)
  std::vector<std::string> bauds;   // "1200", "9600", "19200", "57600"
  int baudIndex = 0;
  std::vector<std::string> protocols;  // "8-N-1", "8-E-1", "8-O-1"
  int protocolIndex = 0;
  std::vector<std::string> modes;   // "RTU", "ASCII" (shown, not changeable)
  int modeIndex = 0;
};
// ports: the serial ports that exist (SerialPort_ListPorts()).
ModbusPageView ModbusPage_Show(const std::vector<std::string>& ports);

struct ModbusPageInput {
  std::string portText;  // the selected port or a typed device path
  int baudIndex = -1;
  int protocolIndex = -1;
  int modeIndex = -1;
};
// Stores MODBUS_COMPORTNAME, MODBUS_BAUDRATE, MODBUS_PROTOCOL and MODBUS_MODE
// (an invalid selection stores the first entry, for the mode 0) and hands all
// four to the Modbus link. An empty port field stores the first port listed.
void ModbusPage_Store(const ModbusPageInput& input, const std::vector<std::string>& ports);
