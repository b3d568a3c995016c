// The CAN logger: records every frame the active interface receives, shows
// it line by line with its CANopen meaning, filters by node id or COB-ID,
// measures messages per second and bus load, and writes the same lines to a
// log file. Works with the PCAN USB and the Ethernet master interfaces; with
// the Ethernet master it also tells the master to forward the traffic of the
// selected bus (control frame 0x80000003).
//
// LoggerSession is the whole logger without its window: the dialog (or a
// test, or a benchmark) creates one, feeds it the state of its controls and
// shows what it reports through LoggerView. One session exists at a time.
#pragma once

#include <cstdint>
#include <string>

#include "core/CanMsg.h"
#include "logger/LogBuffer.h"
#include "logger/LogFile.h"
#include "logger/LoggerFilter.h"
#include "logger/LoggerStats.h"
#include "ui/Ui.h"

enum class LoggerState : int { Stopped = 0, Running = 1, Paused = 2 };

// Timer periods of the logger.
inline constexpr int kLoggerPollMs = 100;     // receive while running
inline constexpr int kLoggerDisplayMs = 100;  // new lines, scrolling, activity, buffer fill
inline constexpr int kLoggerStatsMs = 1000;   // messages per second and bus load

// What the window shows; every call is optional.
class LoggerView {
 public:
  virtual ~LoggerView() = default;
  // The display lines are about to be emptied / have been emptied.
  virtual void loggerClearing() {}
  virtual void loggerCleared() {}
  // Lines were added since the last call (called once per display tick).
  virtual void loggerLinesAdded() {}
  virtual void loggerScrollToLast() {}
  // Captions, enabled states, the time header or the file button changed.
  virtual void loggerControlsChanged() {}
  // Activity, messages per second, bus load or buffer fill changed.
  virtual void loggerIndicatorsChanged() {}
};

// Checks that the active interface can be logged; otherwise shows "No
// interface selected" or "CAN Logger not available with current interface %s"
// in a message box and returns false.
bool Logger_InterfaceSupported();

class LoggerSession {
 public:
  // Loads the logger's options and starts the display and statistics timers.
  explicit LoggerSession(LoggerView* view = nullptr);
  // Closes the session as the Close button does.
  ~LoggerSession();
  LoggerSession(const LoggerSession&) = delete;
  LoggerSession& operator=(const LoggerSession&) = delete;

  // ---- controls ---------------------------------------------------------------
  void startStop();
  // Reset (paused: becomes stopped) or Restart (running); nothing when stopped.
  void resetRestart();
  // "Log to file...": asks for a file and opens it, or closes the open one.
  void logFileButton();
  // Opens a log file without asking (false when it cannot be created, reported).
  bool openLogFile(const std::string& path);
  void closeLogFile();
  // The filter selector or the hex box changed: parse and announce.
  void filterControlsChanged(int mode, const std::string& text, bool hex);
  // The filter text was edited (parsed at the next start or selector change).
  void setFilterText(const std::string& text) { controlText_ = text; }
  void setShowLast(bool on) { showLast_ = on; }
  // The CAN bus selector of the Ethernet master.
  void chooseBus(int bus);
  // The Close button: recording off, file closed, options stored, bus restored.
  void close();

  // ---- timers (public so tests and benchmarks can drive them) -------------------
  void pollTick();
  void displayTick();
  void statsTick();
  UiTimer& pollTimer() { return pollTimer_; }
  UiTimer& displayTimer() { return displayTimer_; }
  UiTimer& statsTimer() { return statsTimer_; }

  // ---- frames ----------------------------------------------------------------------
  // A received frame (isEvent false) or an event pseudo-frame whose id is the event code.
  void addFrame(bool isEvent, const CanMsg& msg);
  // The Ethernet link met a frame with an illegal length.
  void illegalLength();

  // ---- what the window shows -------------------------------------------------------
  LoggerState state() const { return state_; }
  const LogBuffer& lines() const { return lines_; }
  bool rawTimeHeader() const { return rawTime_; }
  bool factoryMode() const { return factory_; }
  const char* startCaption() const;
  const char* resetCaption() const;
  bool resetEnabled() const { return state_ != LoggerState::Stopped; }
  bool filterEditable() const { return state_ != LoggerState::Running && controlMode_ != kFilterOff; }
  bool busSelectorVisible() const;
  bool busSelectorEnabled() const;
  int busCount() const;
  int currentBus() const;
  std::string interfaceText() const;
  std::string interfaceDescription() const;
  bool logFileOpen() const { return file_.isOpen(); }
  bool showLast() const { return showLast_; }
  int filterControlMode() const { return controlMode_; }
  const std::string& filterControlText() const { return controlText_; }
  bool filterControlHex() const { return controlHex_; }
  // Blank when not running.
  std::string activityText() const;
  std::string rateText() const;
  std::string loadText() const;
  long fillPercent() const { return lines_.fillPercent(); }
  std::string fillText() const;
  int64_t framesReceived() const { return stats_.total(); }

 private:
  void updateRecording(bool resetInput = true);
  void parseFilter();
  void writeEvent(uint32_t code);
  void writeFilterLine();
  void appendLine(const LogEntry& entry, const std::string& text);
  void fixTimeBase(const CanMsg& msg);
  int eventBus() const;
  void flushFile();
  void reportFileError();

  LoggerView* view_;
  bool factory_;
  bool closed_ = false;
  bool polling_ = false;
  LoggerState state_ = LoggerState::Stopped;
  LogBuffer lines_;
  LogFile file_;
  LoggerStats stats_;
  LoggerFilter filter_;
  int controlMode_ = kFilterOff;
  std::string controlText_;
  bool controlHex_ = false;
  int announcedFilter_ = -1;
  bool showLast_ = false;
  bool needTimeBase_ = true;
  bool rawTime_ = false;
  uint32_t timeBase_ = 0;
  int busAtOpen_ = 0;
  std::string fileLine_;  // reused for every file line
  UiTimer pollTimer_;
  UiTimer displayTimer_;
  UiTimer statsTimer_;
};

// The session the interface layer and the Ethernet link hand frames to
// (nullptr while no logger is open).
LoggerSession* Logger_Session();
// Called for every received frame while the logger records (isEvent 0), and
// by the logger itself for its event lines. Nothing happens without a session.
void Logger_AddFrame(int isEvent, const CanMsg& msg);
