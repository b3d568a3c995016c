// Date texts as the module protocol and the debug log show them:
// "06 Dec 2026, 12:00:00", or "(invalid)".
#pragma once

#include <cstdint>
#include <string>

#include "platform/Clock.h"

// A record of eight numbers laid out like the data bytes of a date reply:
// element 0 is ignored, then century, year within the century, month, day,
// hour, minute, second.
std::string VornProt_DateText(const uint32_t record[8]);
// The same for a local time.
std::string VornProt_DateText(const LocalTime& time);
// The local date and time now (Clock_LocalTime).
std::string VornProt_DateText();
