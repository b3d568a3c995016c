#include "protocol/VornProtText.h"

#include <cstdio>

#include "core/Session.h"
#include "protocol/VornProtCommands.h"

namespace {

// Text of code in a table indexed from 0, or nullptr when outside it or unset.
template <size_t N>
const char* Lookup(const char* const (&table)[N], int code) {
  if (code < 0 || static_cast<size_t>(code) >= N) return nullptr;
  return table[code];
}

const char* const kCanBaud[] = {"10 k", "20 k", "50 k", "100 k", "125 k", "250 k", "500 k", "1000 k"};
const char* const kModbusBaud[] = {"1200", "9600", "19200", "57600"};

const char* const kCpuNames[] = {nullptr, "PIC18F", "dsPIC30F", "AT8051", "dsPIC33F", nullptr, "SAMC21"};

const char* const kBootErrors[] = {
    "(no error)",
    "Invalid parameter (#1)",
    "Flash buffer overflow (#2)",
    "Address alignment error (#3)",
    "Invalid Code Start Address (#4)",
    "Address overflow (#5)",
    "Buffer empty (#6)",
    "Wrong command key (#7)",
    "Illegal address gap (#8)",
};

const char* const kStates[] = {"Bootup", "Bootloader", "SearchMode", "PreOperational", "Stopped", "Operational"};

const char* const kDataTypes[] = {nullptr, "BOOL", "INT8", "INT16", "INT32", "UINT8",
                                  "UINT16", "UINT32", "REAL32", "STRING"};
constexpr int kDataTypePdoCompare = 32;

// Buffers sized for the longest text with any int.
constexpr size_t kNumberTextSize = 48;

// The shared buffers of the texts made up for unknown codes.
struct NumberTexts {
  char baud[kNumberTextSize];
  char cpu[kNumberTextSize];
  char bootError[kNumberTextSize];
};

NumberTexts& texts() { return Session_Part<NumberTexts>(); }

}  // namespace

const char* VornProt_BaudName(int index, char bus) {
  if (bus == 'c' || bus == 'm') {
    const char* text = bus == 'c' ? Lookup(kCanBaud, index) : Lookup(kModbusBaud, index);
    return text ? text : "Baud=undef";
  }
  char* buffer = texts().baud;
  std::snprintf(buffer, kNumberTextSize, "(#%d)", index);
  return buffer;
}

const char* VornProt_CpuName(int code) {
  if (const char* text = Lookup(kCpuNames, code)) return text;
  char* buffer = texts().cpu;
  std::snprintf(buffer, kNumberTextSize, "(#%d)", code);
  return buffer;
}

const char* VornProt_BootErrorText(int code) {
  if (const char* text = Lookup(kBootErrors, code)) return text;
  char* buffer = texts().bootError;
  std::snprintf(buffer, kNumberTextSize, "(unknown error #%d)", code);
  return buffer;
}

const char* VornProt_StateText(int state) {
  const char* text = Lookup(kStates, state & VORN_STATE_MASK);
  return text ? text : "?";
}

const char* VornProt_DataTypeText(int code) {
  if (code == kDataTypePdoCompare) return "PDOCOMPAR";
  const char* text = Lookup(kDataTypes, code);
  return text ? text : "(?)";
}
