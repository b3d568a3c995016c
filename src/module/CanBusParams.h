// A module's bus parameters (node id and bit rate) as the bus parameter
// command carries them, and the rules of the "CAN Bus" page: what it shows,
// which node ids it accepts, and what it writes.
#pragma once

#include <string>
#include <vector>

struct CanMsg;
struct ModuleRec;

// Format code of modules that have no DIP switch choice and whose EEPROM
// parameters can be cleared.
inline constexpr int kBusParamsFormat38 = 38;
// Node id and bit-rate index of a DIP setting that is not there, and the
// value pair that clears the EEPROM parameters.
inline constexpr int kBusParamsNone = 255;

// The reply to the read request (0x99).
struct BusParams {
  bool dipActive = false;  // byte 1: the module runs on its DIP switch setting
  int format = 0;          // byte 2
  int dipBaud = 0;         // byte 3 (255: not available)
  int dipNode = 0;         // byte 4 (255: not available)
  int eepromBaud = 0;      // byte 6
  int eepromNode = 0;      // byte 7
};
BusParams BusParams_Decode(const CanMsg& reply);
// Request 0x99 to the module. 1 with params filled, 0 failed (already reported).
int BusParams_Read(const ModuleRec& module, BusParams& params);

// Node id of a classic module's page: 2..127.
int BusParams_LimitNode(int node);
// The eight bit-rate names of indices 0..7 on a bus.
std::vector<std::string> BusParams_BaudNames(char bus);
// The last index 0..7 whose name on the bus equals text; 4 when none does.
int BusParams_BaudIndex(const std::string& text, char bus);
// Classic page: the field as an unsigned decimal number; text that is not one
// reads as 0, numbers too large for 32 bits saturate.
unsigned BusParams_ParseDecimal(const std::string& text);
// Format-38 page: hexadecimal after a leading "0x", else decimal. False for
// text that is neither (and for numbers beyond 32 bits).
bool BusParams_ParseNode38(const std::string& text, long& node);
// The error box text for a node outside the range of the bus, or "" when the
// node is accepted: CAN 2..127, Modbus 1..240, any other bus 0..255.
std::string BusParams_NodeRangeError(char bus, long node);

// What the page shows after reading the parameters.
struct BusTabView {
  bool format38 = false;
  std::string nodeText;  // "" leaves the field empty
  int baudIndex = -1;    // index whose name is selected, -1 none
  bool dipSelected = false;
  bool dipEnabled = false;
  bool eepromEnabled = false;
  bool fieldsEnabled = false;
  bool writeEnabled = false;
  bool clearVisible = false;
  bool clearEnabled = false;
};
// The empty page (no catalogue row, or the request failed).
BusTabView BusTab_EmptyView();
BusTabView BusTab_ViewOf(const BusParams& params);

// Choosing a source on a classic page: the values of that source for the
// fields. apply is false when nothing changes (a format-38 module).
struct BusSourceView {
  bool apply = false;
  bool haveValues = false;  // the parameters were read: show nodeText and baudIndex
  std::string nodeText;
  int baudIndex = -1;
  bool fieldsEnabled = false;
};
BusSourceView BusTab_SourceChosen(const ModuleRec& module, bool dip);

// The page's controls as the write reads them.
struct BusTabInputs {
  std::string nodeText;
  bool dipSelected = false;
  std::string baudText;
};

struct BusWriteResult {
  int refresh = 0;            // 1: the page reads the parameters again
  bool sent = false;          // the write request went out
  bool nodeTextChanged = false;  // inputs.nodeText holds the limited node
};

// "Write to EEPROM..." (action 's') and, on format-38 modules, "Clear in
// EEPROM..." (action 'c'): checks, asks, sends the write request (0x59) and
// updates the record's node. bus is the active interface's bus letter.
BusWriteResult BusTab_WriteParams(ModuleRec& module, bool format38, char action, char bus,
                                  BusTabInputs& inputs);
