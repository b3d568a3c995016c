#include "logger/Logger.h"

#include <cstdio>

#include "bus/EthMaster.h"
#include "bus/Interface.h"
#include "core/DateText.h"
#include "core/ErrorReport.h"
#include "core/Options.h"
#include "core/Session.h"
#include "core/Shell.h"
#include "core/WideText.h"
#include "logger/LogLine.h"
#include "platform/Clock.h"

namespace {

// The recording the frame hooks deliver to (owned by the logger window).
struct ActiveRecording {
  LoggerSession* recording = nullptr;
};

LoggerSession*& active() { return Session_Part<ActiveRecording>().recording; }

// A receive pass of the interface layer stops after a few thousand frames;
// the poll tick keeps going while passes come back that full, for at most
// this long, so that a busy bus cannot hold the window.
constexpr int kFullPassFrames = 256;
constexpr int64_t kPollBudgetMs = 60;

// The filter list option holds at most this many characters.
constexpr size_t kFilterListMaxChars = 1024;

const std::string kNoText;

void receivedFrame(const CanMsg& msg) { Logger_AddFrame(0, msg); }

void illegalLengthHook() {
  if (active()) active()->illegalLength();
}

bool isEthernet() { return GetInterfaceType() == kInterfaceEthernet; }

// RECENT_LOGFILE without a trailing path separator, as the dialog's start.
std::string recentLogFile() {
  std::string path = Option_GetText("RECENT_LOGFILE");
  while (!path.empty() && (path.back() == '/' || path.back() == '\\')) path.pop_back();
  return path;
}

}  // namespace

LoggerSession* Logger_Session() { return active(); }

void Logger_AddFrame(int isEvent, const CanMsg& msg) {
  if (active()) active()->addFrame(isEvent != 0, msg);
}

bool Logger_InterfaceSupported() {
  const int type = GetInterfaceType();
  if (type == kInterfaceNone) {
    Ui_MessageBox("No interface selected", "CAN Logger", UiButtons::Ok, UiIcon::Warning);
    return false;
  }
  if (type != kInterfacePcanUsb && type != kInterfaceEthernet) {
    Ui_MessageBox(Ui_Format("CAN Logger not available with current interface %s", GetInterfaceName()),
                  "CAN Logger", UiButtons::Ok, UiIcon::Warning);
    return false;
  }
  return true;
}

// ---- life cycle ------------------------------------------------------------------

LoggerSession::LoggerSession(LoggerView* view) : view_(view), factory_(FactoryMode()) {
  active() = this;
  // The selector always opens at "Off"; the stored mode is taken up by the
  // first parse only through the selector.
  filter_.mode = Option_GetInt("LOGGER_FILTER_MODE");
  showLast_ = Option_GetInt("LOGGER_SHOWLAST") != 0;
  controlHex_ = Option_GetInt("LOGGER_FILTER_LISTHEX") != 0;
  controlText_ = Option_GetText("LOGGER_FILTER_LIST");
  controlMode_ = kFilterOff;
  lines_.setCapacity(Option_GetLong("LOGGER_BUFFERSIZE"));
  rawTime_ = Option_GetInt("LOGGER_ORIGTIMESTAMP") != 0;
  busAtOpen_ = EthMaster_GetCanBusNo();
  EthMaster_SetIllegalLengthHook(illegalLengthHook);

  pollTimer_.setCallback([this] { pollTick(); });
  displayTimer_.setCallback([this] { displayTick(); });
  statsTimer_.setCallback([this] { statsTick(); });
  displayTimer_.start(kLoggerDisplayMs);
  statsTimer_.start(kLoggerStatsMs);
}

LoggerSession::~LoggerSession() {
  view_ = nullptr;  // the window may be half gone already
  close();
  EthMaster_SetIllegalLengthHook(nullptr);
  if (active() == this) active() = nullptr;
}

void LoggerSession::close() {
  if (closed_) return;
  closed_ = true;
  pollTimer_.stop();
  displayTimer_.stop();
  statsTimer_.stop();
  state_ = LoggerState::Stopped;
  updateRecording();
  parseFilter();
  if (file_.isOpen()) closeLogFile();
  Option_SetInt("LOGGER_SHOWLAST", showLast_ ? 1 : 0);
  if (isEthernet() && EthMaster_GetCanBusNo() != busAtOpen_) {
    EthMaster_SetCanBusNo(busAtOpen_);
    UpdateControls();
  }
}

// ---- controls ----------------------------------------------------------------------

void LoggerSession::startStop() {
  if (closed_) return;
  if (state_ == LoggerState::Running) {
    pollTimer_.stop();
    state_ = LoggerState::Paused;
    updateRecording();
    writeEvent(kEventStop);
    flushFile();  // the stop line too: the file on disk is complete while paused
    if (showLast_ && view_) view_->loggerScrollToLast();
    if (view_) view_->loggerControlsChanged();
    return;
  }
  const bool fromStopped = state_ == LoggerState::Stopped;
  state_ = LoggerState::Running;
  updateRecording();
  parseFilter();
  if (fromStopped) {
    lines_.setCapacity(Option_GetLong("LOGGER_BUFFERSIZE"));
    needTimeBase_ = true;
    announcedFilter_ = -1;
    writeEvent(kEventStart);
  } else {
    writeEvent(kEventContinue);
  }
  writeFilterLine();
  pollTimer_.start(kLoggerPollMs);
  if (view_) view_->loggerControlsChanged();
}

void LoggerSession::resetRestart() {
  if (closed_ || state_ == LoggerState::Stopped) return;
  const bool restart = state_ == LoggerState::Running;
  if (!restart) state_ = LoggerState::Stopped;
  if (view_) view_->loggerClearing();
  lines_.clear();
  if (view_) view_->loggerCleared();
  flushFile();
  announcedFilter_ = -1;
  needTimeBase_ = true;
  updateRecording();
  if (restart) {
    writeEvent(kEventRestart);
    writeFilterLine();
  } else {
    writeEvent(kEventReset);
    flushFile();
  }
  if (view_) view_->loggerControlsChanged();
}

void LoggerSession::logFileButton() {
  if (file_.isOpen()) {
    closeLogFile();
    return;
  }
  UiFileRequest request;
  request.title = "Save Log to file";
  request.filter = "Log files (*.log, *.txt)|*.log;*.txt|All files (*.*)|*.*";
  request.initialPath = recentLogFile();
  std::string chosen;
  if (Ui_SaveFile(request, chosen) && !chosen.empty()) {
    Option_SetText("RECENT_LOGFILE", chosen);
    if (openLogFile(chosen) && state_ == LoggerState::Running) writeFilterLine();
  }
  if (view_) view_->loggerControlsChanged();
}

bool LoggerSession::openLogFile(const std::string& path) {
  const std::string name = GetInterfaceName();
  const std::string description = GetInterfaceDescription();
  const bool opened = file_.open(path, name, description, VornProt_DateText());
  if (!opened) ShowError("Cannot write log file '%s'", path.c_str());
  if (view_) view_->loggerControlsChanged();
  return opened;
}

void LoggerSession::closeLogFile() {
  if (!file_.isOpen()) return;
  const std::string path = file_.path();
  if (!file_.close(VornProt_DateText())) ShowError("Cannot write log file '%s'", path.c_str());
  if (view_) view_->loggerControlsChanged();
}

void LoggerSession::filterControlsChanged(int mode, const std::string& text, bool hex) {
  controlMode_ = mode >= 0 && mode < kFilterModeCount ? mode : kFilterOff;
  controlText_ = text;
  controlHex_ = hex;
  parseFilter();
  if (state_ == LoggerState::Running && filter_.mode != announcedFilter_) writeFilterLine();
  if (view_) view_->loggerControlsChanged();
}

void LoggerSession::chooseBus(int bus) {
  if (closed_ || state_ == LoggerState::Running || !isEthernet()) return;
  if (bus == EthMaster_GetCanBusNo()) return;
  if (state_ == LoggerState::Paused) resetRestart();
  EthMaster_SetCanBusNo(bus);
  UpdateControls();
  if (view_) view_->loggerControlsChanged();
}

void LoggerSession::illegalLength() {
  // The link reports "logger stopped.": a running logger pauses, which also
  // switches the master's forwarding off. The link's input is left alone - the
  // link is in the middle of reading it.
  if (state_ == LoggerState::Running)
    startStop();
  else
    updateRecording(false);
}

// ---- recording ---------------------------------------------------------------------

void LoggerSession::updateRecording(bool resetInput) {
  const bool running = state_ == LoggerState::Running;
  if (running) {
    if (resetInput) ResetReceive();
    Interface_SetFrameLogger(receivedFrame);
  } else {
    Interface_SetFrameLogger(nullptr);
    flushFile();
  }
  if (isEthernet()) EthMaster_SetLoggerForwarding(running ? 1 : 0);
  stats_.forgetShown();
  if (view_) view_->loggerIndicatorsChanged();
}

void LoggerSession::parseFilter() {
  filter_.mode = controlMode_;
  filter_.hex = controlHex_;
  filter_.numbers = LoggerFilter_ParseList(controlText_, controlHex_);
  Option_SetInt("LOGGER_FILTER_MODE", controlMode_);
  std::wstring text = Text_Widen(controlText_);
  if (text.size() > kFilterListMaxChars) text.resize(kFilterListMaxChars);
  Option_SetWString("LOGGER_FILTER_LIST", text);
  Option_SetInt("LOGGER_FILTER_LISTHEX", controlHex_ ? 1 : 0);
}

void LoggerSession::writeEvent(uint32_t code) {
  CanMsg event;
  event.id = code;
  Logger_AddFrame(1, event);
}

void LoggerSession::writeFilterLine() {
  writeEvent(kEventFilter);
  announcedFilter_ = filter_.mode;
}

int LoggerSession::eventBus() const { return isEthernet() ? EthMaster_GetCanBusNo() : -1; }

void LoggerSession::fixTimeBase(const CanMsg& msg) {
  needTimeBase_ = false;
  const bool raw = Option_GetInt("LOGGER_ORIGTIMESTAMP") != 0;
  timeBase_ = raw ? 0 : msg.time;
  if (raw != rawTime_) {
    rawTime_ = raw;
    if (view_) view_->loggerControlsChanged();
  }
}

void LoggerSession::addFrame(bool isEvent, const CanMsg& msg) {
  if (isEvent) {
    const uint32_t code = msg.id;
    LogEntry entry;
    entry.kind = LogEntry::Event;
    entry.id = code;
    appendLine(entry, code == kEventFilter ? filter_.lineText() : LogLine_EventText(code, eventBus()));
    return;
  }
  stats_.count(msg.len);
  if (msg.id & CANMSG_FLAG_ERROR) {
    // An error report of the link: never filtered, shown as an event.
    LogEntry entry = LogEntry_FromFrame(msg);
    entry.kind = LogEntry::Event;
    entry.id = LoggerEvent_FromErrorReport(msg.id);
    appendLine(entry, LogLine_EventText(entry.id));
    return;
  }
  if (!filter_.shows(msg)) return;
  if (needTimeBase_) fixTimeBase(msg);
  LogEntry entry = LogEntry_FromFrame(msg);
  entry.rawTime = rawTime_ ? 1 : 0;
  entry.time = rawTime_ ? msg.time : msg.time - timeBase_;
  appendLine(entry, kNoText);
}

void LoggerSession::appendLine(const LogEntry& entry, const std::string& text) {
  if (entry.isEvent())
    lines_.appendEvent(entry, text);
  else
    lines_.append(entry);
  if (file_.isOpen()) {
    fileLine_.clear();
    LogLine_AppendFileLine(entry, text, factory_, fileLine_);
    file_.write(fileLine_);
  }
  if (lines_.full()) {
    // The display is full: one overflow line, then only the file goes on.
    const std::string overflow = LogLine_EventText(kEventOverflow);
    lines_.markOverflow(overflow);
    if (file_.isOpen()) {
      LogEntry event;
      event.kind = LogEntry::Event;
      event.id = kEventOverflow;
      fileLine_.clear();
      LogLine_AppendFileLine(event, overflow, factory_, fileLine_);
      file_.write(fileLine_);
    }
    if (showLast_ && view_) view_->loggerScrollToLast();
  }
}

void LoggerSession::flushFile() {
  if (file_.isOpen() && !file_.flush()) reportFileError();
}

void LoggerSession::reportFileError() {
  // A file that cannot take more lines is closed, so the loss shows at once.
  const std::string path = file_.path();
  file_.close(VornProt_DateText());
  ShowError("Cannot write log file '%s'", path.c_str());
  if (view_) view_->loggerControlsChanged();
}

// ---- timers ------------------------------------------------------------------------

void LoggerSession::pollTick() {
  // An error box of the link runs its own event loop, in which this timer
  // fires again; the link is still inside the outer call then.
  if (state_ != LoggerState::Running || polling_) return;
  polling_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{polling_};
  const int64_t until = Clock_NowMs() + kPollBudgetMs;
  for (;;) {
    const int64_t before = stats_.total();
    if (PollReceive() != 0) {
      // The link failed (connection gone): pause once with the link's text
      // instead of failing again every 100 ms.
      const std::string error = GetInterfaceError();
      startStop();
      ShowError("Interface error:\n%s", error.c_str());
      return;
    }
    if (stats_.total() - before < kFullPassFrames || Clock_NowMs() >= until) break;
  }
  if (file_.isOpen() && file_.failed()) reportFileError();
}

void LoggerSession::displayTick() {
  if (view_) view_->loggerLinesAdded();
  if (showLast_ && state_ == LoggerState::Running && !lines_.overflowed() && view_)
    view_->loggerScrollToLast();
  stats_.turnActivity();
  if (view_) view_->loggerIndicatorsChanged();
}

void LoggerSession::statsTick() {
  if (state_ != LoggerState::Running) return;
  const LoggerStats::Tick changed = stats_.tick(Clock_NowMs(), GetCanBitrate());
  if ((changed.rateChanged || changed.loadChanged) && view_) view_->loggerIndicatorsChanged();
}

// ---- what the window shows ---------------------------------------------------------

const char* LoggerSession::startCaption() const {
  switch (state_) {
    case LoggerState::Running: return "Stop";
    case LoggerState::Paused: return "Continue";
    default: return "Start";
  }
}

const char* LoggerSession::resetCaption() const {
  return state_ == LoggerState::Running ? "Restart" : "Reset";
}

bool LoggerSession::busSelectorVisible() const { return isEthernet(); }

bool LoggerSession::busSelectorEnabled() const {
  return isEthernet() && EthMaster_GetCanBusCount() >= 2 && !ScanRunning() &&
         state_ != LoggerState::Running;
}

int LoggerSession::busCount() const { return isEthernet() ? EthMaster_GetCanBusCount() : 0; }

int LoggerSession::currentBus() const { return EthMaster_GetCanBusNo(); }

std::string LoggerSession::interfaceText() const {
  return InterfaceActive() ? GetInterfaceName() : "(No interface selected)";
}

std::string LoggerSession::interfaceDescription() const { return GetInterfaceDescription(); }

std::string LoggerSession::activityText() const {
  return state_ == LoggerState::Running && stats_.total() > 0 ? stats_.activityText() : "";
}

std::string LoggerSession::rateText() const {
  if (state_ != LoggerState::Running || stats_.shownRate() < 0) return "0";
  return std::to_string(stats_.shownRate());
}

std::string LoggerSession::loadText() const {
  if (state_ != LoggerState::Running || stats_.shownLoad() == LoggerStats::kLoadNone) return "0";
  if (stats_.shownLoad() == LoggerStats::kLoadUnknown) return "?";
  char text[32];
  std::snprintf(text, sizeof text, "%.0f", stats_.shownLoad());
  return text;
}

std::string LoggerSession::fillText() const {
  if (lines_.capacity() < 1) return "0 %";
  return std::to_string(lines_.fillPercent()) + " %";
}
