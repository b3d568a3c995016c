#include "core/SettingsPages.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "core/DebugLog.h"
#include "core/Options.h"
#include "core/Session.h"
#include "core/TextFormat.h"

namespace {

struct SettingsPagesState {
  int rememberedPage = TAB_SET_GENERAL;
};

constexpr int kFirstNode = 1;
constexpr int kLastNode = 127;
constexpr int kMinScanInterval = 10;
constexpr int kMaxScanInterval = 1000;
constexpr double kDefaultSendInterval = 10.0;
constexpr double kMinSendInterval = 0.1;
constexpr double kMaxSendInterval = 1000.0;
constexpr int32_t kDefaultLoggerBuffer = 32000;
constexpr int32_t kMinLoggerBuffer = 1000;

std::string trimmed(const std::string& text) {
  size_t start = 0, end = text.size();
  while (start < end && std::isspace(static_cast<unsigned char>(text[start]))) ++start;
  while (end > start && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  return text.substr(start, end - start);
}

// An unsigned decimal field: digits only (blanks around them allowed); other
// text reads as 0, a number beyond 32 bits as the largest 32-bit value.
unsigned long unsignedField(const std::string& text) {
  const std::string t = trimmed(text);
  if (t.empty()) return 0;
  unsigned long long value = 0;
  for (char c : t) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + unsigned(c - '0');
    if (value > 0xFFFFFFFFull) return 0xFFFFFFFFul;
  }
  return (unsigned long)value;
}

int limited(unsigned long value, int low, int high) {
  return value < unsigned(low) ? low : value > unsigned(high) ? high : int(value);
}

// A leading floating-point number, as a field read with "%lf"; false for none.
bool leadingDouble(const std::string& text, double& value) {
  const char* start = text.c_str();
  char* end = nullptr;
  value = std::strtod(start, &end);
  return end != start && !std::isnan(value);
}

// A leading decimal integer, as a field read with "%ld", saturating at the
// 32-bit range; false for none.
bool leadingLong(const std::string& text, int32_t& value) {
  const char* start = text.c_str();
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(start, &end, 10);
  if (end == start) return false;
  value = v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : int32_t(v);
  return true;
}

}  // namespace

int SettingsPages_OpeningPage(int requested, int pageCount) {
  int page = requested >= 0 ? requested : Session_Part<SettingsPagesState>().rememberedPage;
  if (page >= pageCount) page = pageCount - 1;
  return page < 0 ? 0 : page;
}

void SettingsPages_RememberPage(int page) {
  if (page >= 0) Session_Part<SettingsPagesState>().rememberedPage = page;
}

// ---- "General" -----------------------------------------------------------------

GeneralSettings GeneralPage_Show() {
  GeneralSettings g;
  g.askBeforeExit = Option_GetInt("ASK_BEFORE_EXIT") != 0;
  g.errorsInStatusBar = Option_GetInt("ERRORS_IN_STATUSBAR") != 0;
  g.debugFeatures = Option_GetInt("DEBUG_MODE") != 0;
  g.moduleTest = Option_GetInt("MODULETEST_MODE") != 0;
  g.reverseBits = Option_GetInt("BITWIDGET_REVERSE_ORDER") != 0;
  g.autoInterface = Option_GetInt("AUTO_INTERF_SET") != 0;
  return g;
}

void GeneralPage_Store(const GeneralSettings& g, bool debugWhenShown) {
  Option_SetInt("ASK_BEFORE_EXIT", g.askBeforeExit);
  Option_SetInt("ERRORS_IN_STATUSBAR", g.errorsInStatusBar);
  Option_SetInt("DEBUG_MODE", g.debugFeatures);
  Option_SetInt("MODULETEST_MODE", g.moduleTest);
  Option_SetInt("BITWIDGET_REVERSE_ORDER", g.reverseBits);
  Option_SetInt("AUTO_INTERF_SET", g.autoInterface);
  if (g.debugFeatures != debugWhenShown) {
    if (g.debugFeatures)
      DebugLog_Open(nullptr, 'a');
    else
      DebugLog_Close();
  }
}

// ---- "Scan Bus" ----------------------------------------------------------------

ScanBusSettings ScanBusPage_Show() {
  ScanBusSettings s;
  s.scanOnStart = Option_GetInt("SCAN_ON_START") != 0;
  s.rangeFrom = Text_Format("%d", Option_GetInt("SCAN_RANGE_START"));
  s.rangeTo = Text_Format("%d", Option_GetInt("SCAN_RANGE_STOP"));
  s.interval = Text_Format("%d", Option_GetInt("SCAN_SEND_INTERVAL_MS"));
  s.openDialogs = Option_GetInt("SCAN_OPEN_DIALOG") != 0;
  s.maxDialogs = Text_Format("%d", Option_GetInt("SCAN_OPEN_DIALOGS"));
  s.flashScan = Option_GetInt("SCAN_FLASHMODE") != 0;
  return s;
}

void ScanBusPage_Store(const ScanBusSettings& s) {
  Option_SetInt("SCAN_ON_START", s.scanOnStart);
  int from = limited(unsignedField(s.rangeFrom), kFirstNode, kLastNode);
  int to = limited(unsignedField(s.rangeTo), kFirstNode, kLastNode);
  if (from > to) std::swap(from, to);
  Option_SetInt("SCAN_RANGE_START", from);
  Option_SetInt("SCAN_RANGE_STOP", to);
  Option_SetInt("SCAN_SEND_INTERVAL_MS", limited(unsignedField(s.interval), kMinScanInterval, kMaxScanInterval));
  const int dialogs = limited(unsignedField(s.maxDialogs), 0, INT_MAX);
  Option_SetInt("SCAN_OPEN_DIALOG", s.openDialogs && dialogs >= 1);
  Option_SetInt("SCAN_OPEN_DIALOGS", dialogs);
  Option_SetInt("SCAN_FLASHMODE", s.flashScan);
}

// ---- "Firmware Update" ---------------------------------------------------------

FirmwareSettings FirmwarePage_Show() {
  FirmwareSettings f;
  f.synchronous = Option_GetInt("PROGRAM_SEND_SYNC") != 0;
  const double interval = Option_GetDouble("PROGRAM_SEND_INTERVAL_MS");
  f.interval = Text_Format(interval >= 10 ? "%.0f" : "%.1f", interval);
  f.allowWrongType = Option_GetInt("PROGRAM_ALLOW_WRONG_TYPE") != 0;
  return f;
}

void FirmwarePage_Store(const FirmwareSettings& f) {
  Option_SetInt("PROGRAM_SEND_SYNC", f.synchronous);
  double interval = kDefaultSendInterval;
  if (!leadingDouble(trimmed(f.interval), interval)) interval = kDefaultSendInterval;
  interval = interval < kMinSendInterval ? kMinSendInterval : interval > kMaxSendInterval ? kMaxSendInterval : interval;
  Option_SetDouble("PROGRAM_SEND_INTERVAL_MS", interval);
  Option_SetInt("PROGRAM_ALLOW_WRONG_TYPE", f.allowWrongType);
}

// ---- "CAN Logger" --------------------------------------------------------------

LoggerSettings LoggerPage_Show() {
  LoggerSettings l;
  l.bufferSize = Text_Format("%ld", long(Option_GetLong("LOGGER_BUFFERSIZE")));
  l.sourceTimestamp = Option_GetInt("LOGGER_ORIGTIMESTAMP") != 0;
  return l;
}

void LoggerPage_Store(const LoggerSettings& l) {
  int32_t size = kDefaultLoggerBuffer;
  if (!leadingLong(trimmed(l.bufferSize), size)) size = kDefaultLoggerBuffer;
  Option_SetLong("LOGGER_BUFFERSIZE", size < kMinLoggerBuffer ? kMinLoggerBuffer : size);
  Option_SetInt("LOGGER_ORIGTIMESTAMP", l.sourceTimestamp);
}
