// The Info page of the module dialog: the module's identity, versions, state
// and dates, gathered from the catalogue, the module record and the module.
#pragma once

#include <string>

#include "platform/Clock.h"

struct ModuleRec;

// What the Info page shows. Empty texts leave their fields empty.
struct InfoFields {
  std::string name;             // order code, "(unknown, #%d)"
  std::string description;
  std::string compatible;       // second order code
  bool showCompatible = false;  // only when there is a second order code
  std::string hardwareVersion;
  std::string status;           // "5 (Operational)"
  std::string mode;             // "Firmware" / "Bootloader"
  std::string bootloaderVersion;
  std::string firmwareVersion;
  bool showProgrammingDate = false;  // factory mode
  std::string programmingDate;
  std::string shippingDate;
  bool showSetShippingDate = false;    // factory mode
  bool enableSetShippingDate = false;  // factory mode, once the shipping date was read
};

// "%d.%d", or "-" when either part is 255 (none).
std::string InfoFields_BootloaderVersion(unsigned major, unsigned minor);
// "%d.%d", or "-" when either part is 255 or no firmware is installed.
std::string InfoFields_FirmwareVersion(unsigned major, unsigned minor, unsigned fwPresent);

// Fills the fields. For a known type it reads the module info once (cached in
// the record until infoValid is cleared), in factory mode the programming
// date, and the shipping date. A failed request (already reported) leaves the
// remaining fields empty.
InfoFields InfoFields_Read(ModuleRec& module, bool factory);

// The seven date bytes of a local time: century, year within the century,
// month, day, hour, minute, second.
struct DateBytes {
  int bytes[7] = {};
};
DateBytes InfoFields_DateBytes(const LocalTime& time);

// "Set Shipping Date..." on the Info page: asks, then sets the module's
// shipping date to the PC's date and time. True when the user agreed (the
// page then refreshes), false on Cancel.
bool ShippingDate_SetModule(const ModuleRec& module);

// The Module menu's "Set Shipping Date...": asks once, sets the date of every
// listed module in table order whatever the single results, then closes all
// module dialogs. False when the user cancelled.
bool ShippingDate_SetAll();
