#include "module/RtcClock.h"

#include <cstdio>

#include "core/CanMsg.h"
#include "core/ErrorReport.h"
#include "core/Options.h"
#include "core/Session.h"
#include "core/TextFormat.h"
#include "platform/Clock.h"
#include "protocol/ModuleList.h"
#include "protocol/VornProt.h"
#include "protocol/VornProtCommands.h"

namespace {

struct RtcChoice {
  bool ownTime = false;
};

constexpr const char* kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool WriteField(int node, int subindex, int value) {
  CanMsg msg;
  if (!VornProt_RequestMessage(msg, node, 5, VORN_CMD_OBJECT_WRITE_ACK,
                               {(kRtcObjectIndex >> 8) & 0xFF, kRtcObjectIndex & 0xFF, subindex, value & 0xFF}))
    return false;
  return (msg.data[1] & Wire::VORN_OBJECT_NOT_AVAILABLE) == 0;
}

RtcTime FromLocal(const LocalTime& t) {
  RtcTime r;
  r.second = t.second, r.minute = t.minute, r.hour = t.hour;
  r.day = t.day, r.month = t.month, r.year = t.year - 2000;
  return r;
}

}  // namespace

const char* RtcClock_MonthName(int month) { return (month >= 1 && month <= 12) ? kMonths[month - 1] : "?"; }

std::string RtcClock_TimeText(const RtcTime& t) { return Text_Format("%02d:%02d:%02d", t.hour, t.minute, t.second); }

std::string RtcClock_DateText(const RtcTime& t) {
  return Text_Format("%02d %s %04d", t.day, RtcClock_MonthName(t.month), t.year + 2000);
}

int RtcTab_ReadModule(const ModuleRec& module, RtcTime& out) {
  int values[7] = {};
  for (int sub = RTC_SECONDS; sub <= RTC_YEAR; ++sub) {
    CanMsg msg;
    if (!VornProt_RequestMessage(msg, module.node, 4, VORN_CMD_OBJECT_READ,
                                 {(kRtcObjectIndex >> 8) & 0xFF, kRtcObjectIndex & 0xFF, sub}))
      return -1;
    if (msg.data[1] & Wire::VORN_OBJECT_NOT_AVAILABLE) return -1;
    values[sub] = int(msg.data[4] & 0xFF);
  }
  out.second = values[RTC_SECONDS], out.minute = values[RTC_MINUTES], out.hour = values[RTC_HOURS];
  out.day = values[RTC_DAY], out.month = values[RTC_MONTH], out.year = values[RTC_YEAR];
  return 0;
}

RtcPcTexts RtcTab_ShowPcTime(bool withMonthName) {
  const LocalTime t = Clock_LocalTime();
  RtcPcTexts p;
  p.time = Text_Format("%02d:%02d:%02d", t.hour, t.minute, t.second);
  p.date = withMonthName ? Text_Format("%02d %s %04d", t.day, RtcClock_MonthName(t.month), t.year)
                         : Text_Format("%02d.%02d.%04d", t.day, t.month, t.year);
  return p;
}

bool RtcClock_OwnTime() { return Session_Part<RtcChoice>().ownTime; }

bool RtcClock_ParseEntry(const std::string& timeField, const std::string& dateField, const LocalTime& base,
                         RtcTime& out) {
  int h = base.hour, mi = base.minute, s = base.second;
  int d = base.day, mo = base.month, y = base.year;
  std::sscanf(timeField.c_str(), "%d:%d:%d", &h, &mi, &s);
  std::sscanf(dateField.c_str(), "%d.%d.%d", &d, &mo, &y);
  if (y >= 2000) y -= 2000;
  out.hour = h, out.minute = mi, out.second = s, out.day = d, out.month = mo, out.year = y;
  return h >= 0 && h <= 23 && mi >= 0 && mi <= 59 && s >= 0 && s <= 59 && d >= 1 && d <= 31 && mo >= 1 &&
         mo <= 12 && y >= 0 && y <= 255;
}

int RtcTab_SetModule(const ModuleRec& module, const std::string& timeField, const std::string& dateField) {
  const LocalTime now = Clock_LocalTime();
  RtcTime t = FromLocal(now);
  if (RtcClock_OwnTime() && !RtcClock_ParseEntry(timeField, dateField, now, t)) {
    ShowErrorBox("Invalid time or date\n(time as hh:mm:ss, date as dd.mm.yyyy)");
    return 0;
  }
  // Seconds go to 0 first, so that no carry changes the other fields while they are written.
  if (!WriteField(module.node, RTC_SECONDS, 0)) return 0;
  const int order[6][2] = {{RTC_YEAR, t.year}, {RTC_MONTH, t.month},   {RTC_DAY, t.day},
                           {RTC_HOURS, t.hour}, {RTC_MINUTES, t.minute}, {RTC_SECONDS, t.second}};
  for (const auto& f : order)
    if (!WriteField(module.node, f[0], f[1])) return 0;
  return 1;
}

RtcShownView RtcTab_Shown(const ModuleRec& module) {
  RtcShownView v;
  v.ownChoiceVisible = FactoryMode();
  v.ownTime = RtcClock_OwnTime();
  v.autoUpdate = module.autoUpdate != 0;
  v.fieldsEditable = v.ownTime;
  v.periodMs = Option_GetInt("AUTOUPDATE_INTERVAL_MS");
  return v;
}

RtcTickView RtcTab_Tick(ModuleRec& module) {
  RtcTickView v;
  if (!RtcClock_OwnTime()) {
    v.showPc = true;
    v.pc = RtcTab_ShowPcTime(true);
  }
  RtcTime t;
  if (module.autoUpdate && RtcTab_ReadModule(module, t) != 0) module.autoUpdate = 0;
  v.autoUpdate = module.autoUpdate != 0;
  if (v.autoUpdate) {
    v.moduleTime = RtcClock_TimeText(t);
    v.moduleDate = RtcClock_DateText(t);
  } else {
    v.moduleTime = v.moduleDate = "?";
  }
  return v;
}

RtcChoiceView RtcTab_ChoiceChanged(bool ownTime) {
  Session_Part<RtcChoice>().ownTime = ownTime;
  RtcChoiceView v;
  v.fill = ownTime;
  if (ownTime) v.pc = RtcTab_ShowPcTime(false);
  v.fieldsEditable = ownTime;
  return v;
}
