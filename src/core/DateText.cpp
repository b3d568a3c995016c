#include "core/DateText.h"

#include "core/TextFormat.h"

std::string VornProt_DateText(const uint32_t record[8]) {
  static const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const int64_t year = int64_t(record[1]) * 100 + record[2];
  const uint32_t month = record[3], day = record[4];
  const uint32_t hour = record[5], minute = record[6], second = record[7];
  if (year < 1900 || year >= 3000 || month < 1 || month > 12 || day < 1 || day > 31 ||
      hour > 23 || minute > 59 || second > 59)
    return "(invalid)";
  return Text_Format("%02u %s %04d, %02u:%02u:%02u", day, kMonths[month - 1], int(year), hour,
                     minute, second);
}

std::string VornProt_DateText(const LocalTime& time) {
  // Negative fields wrap to large values and so come out as invalid.
  const uint32_t record[8] = {0,
                              uint32_t(time.year / 100),
                              uint32_t(time.year % 100),
                              uint32_t(time.month),
                              uint32_t(time.day),
                              uint32_t(time.hour),
                              uint32_t(time.minute),
                              uint32_t(time.second)};
  return VornProt_DateText(record);
}

std::string VornProt_DateText() { return VornProt_DateText(Clock_LocalTime()); }
