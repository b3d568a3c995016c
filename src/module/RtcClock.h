// The "RTC" page: the module's real-time clock (object 0x3099, one byte per
// field) beside the PC clock, and setting the module's clock from the PC clock
// or, in factory mode, from a time and date typed in.
//
//   shown:   v = RtcTab_Shown(*module);   timer at v.periodMs
//   timer:   t = RtcTab_Tick(*module);    (re-arm at AUTOUPDATE_INTERVAL_MS)
//   choice:  c = RtcTab_ChoiceChanged(own);
//   box:     module->autoUpdate = ticked;
//   button:  RtcTab_SetModule(*module, timeField, dateField);
#pragma once

#include <string>

struct ModuleRec;
struct LocalTime;

inline constexpr int kRtcObjectIndex = 0x3099;
// Subindices of the clock object.
enum RtcField { RTC_SECONDS = 1, RTC_MINUTES = 2, RTC_HOURS = 3, RTC_DAY = 4, RTC_MONTH = 5, RTC_YEAR = 6 };

// The six fields as the module keeps them (year - 2000).
struct RtcTime {
  int second = 0, minute = 0, hour = 0, day = 0, month = 0, year = 0;
};

// "Jan" .. "Dec"; "?" outside 1..12.
const char* RtcClock_MonthName(int month);
// "%02d:%02d:%02d" and "%02d %s %04d" (the year is the full year).
std::string RtcClock_TimeText(const RtcTime& t);
std::string RtcClock_DateText(const RtcTime& t);

// Reads the six fields in order: 0, or -1 when a request fails or the
// module reports an error.
int RtcTab_ReadModule(const ModuleRec& module, RtcTime& out);

// The PC clock: time, and date with the month name or (for typing) "dd.mm.yyyy".
struct RtcPcTexts {
  std::string time, date;
};
RtcPcTexts RtcTab_ShowPcTime(bool withMonthName);

// The own-time choice ("Enter own time and date"), program-wide.
bool RtcClock_OwnTime();

// Sets the module's clock: from the PC clock, or with the own-time choice from
// the fields ("h:m:s", "d.m.y"; numbers missing there keep the PC clock's).
// Seconds are written 0 first, then year, month, day, hours, minutes,
// seconds. 1 on success, 0 on failure (stops where it failed; an entry out of
// range is reported and nothing is written).
int RtcTab_SetModule(const ModuleRec& module, const std::string& timeField, const std::string& dateField);
// The values the fields stand for, on top of `base`; false when out of range.
bool RtcClock_ParseEntry(const std::string& timeField, const std::string& dateField, const LocalTime& base,
                         RtcTime& out);

struct RtcShownView {
  bool ownChoiceVisible = false;  // factory mode
  bool ownTime = false;
  bool autoUpdate = false;
  bool fieldsEditable = false;
  int periodMs = 250;
};
RtcShownView RtcTab_Shown(const ModuleRec& module);

struct RtcTickView {
  bool showPc = false;  // the PC fields are to show pcTime / pcDate
  RtcPcTexts pc;
  std::string moduleTime, moduleDate;  // "?" while Auto Update is off
  bool autoUpdate = false;             // the box (a failed read unticks it)
};
// One timer tick: the PC clock (with the PC clock choice) and, while the
// module's autoUpdate is set, the module clock; a failed read clears it.
RtcTickView RtcTab_Tick(ModuleRec& module);

struct RtcChoiceView {
  bool fill = false;  // own time chosen: show pc (numeric date) in the fields once
  RtcPcTexts pc;
  bool fieldsEditable = false;
};
RtcChoiceView RtcTab_ChoiceChanged(bool ownTime);
