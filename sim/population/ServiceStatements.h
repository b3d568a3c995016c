// Population file parts for the service pages (docs/simulator.md):
//
//   module node=31 type=31 cpu=2 rtc=2024-12-31T23:59:50 serials=1200/0x5000 sms=16/0x100/192 memaccess=1
//   smsentry 0 phone="+49 170 1234567" text="Boiler fault"
//   memory eeprom 0x10 hex=00112233
//   memory flash 0 pattern=65536
//   memory eeprom 0x40 text="ABC"
//   module node=20 type=133
//   linslave node=21 type=51 [fault=checksum] [delay=5]
#pragma once

#include <string>
#include <vector>

#include "module/SimModuleConfig.h"

// Module keys: 1 handled, 0 an error (why set), -1 not one of these keys.
int ServiceKey_Apply(SimModuleConfig& module, const std::string& key, const std::string& value, std::string& why);
// The keys of a module, each with a leading blank ("" when none applies).
std::string ServiceKey_Format(const SimModuleConfig& module);

// True for the statements (lower case) handled here.
bool ServiceStatement_Is(const std::string& keyword);
// Applies one statement (words, keyword first) to the module. False with a reason.
bool ServiceStatement_Apply(const std::vector<std::string>& words, SimModuleConfig& module, std::string& why);
// The statement lines that give the module's memory and LIN slaves back.
std::string ServiceStatement_Format(const SimModuleConfig& module);
