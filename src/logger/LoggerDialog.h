// The CAN logger's window: start/stop, reset/restart, the log file button,
// the filter controls, the Ethernet master's bus selector, the line list and
// the activity, message rate, bus load and buffer fill displays. The logic is
// LoggerSession; this class shows it and passes the controls on.
#pragma once

#include <QDialog>
#include <functional>
#include <memory>

#include "logger/Logger.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class LoggerLinesWidget;

class LoggerDialog : public QDialog, public LoggerView {
  Q_OBJECT
 public:
  explicit LoggerDialog(QWidget* owner);
  ~LoggerDialog() override;

  LoggerSession& session() { return *session_; }
  LoggerLinesWidget* linesWidget() const { return lines_; }

  // LoggerView
  void loggerClearing() override;
  void loggerCleared() override;
  void loggerLinesAdded() override;
  void loggerScrollToLast() override;
  void loggerControlsChanged() override;
  void loggerIndicatorsChanged() override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  // Escape closes like the Close button.
  void reject() override;

 private:
  void buildControls();
  void filterControlsChanged();
  void refreshBusSelector();
  void followBusSelection();

  std::unique_ptr<LoggerSession> session_;
  QLabel* interfaceName_ = nullptr;
  QLabel* interfaceDescription_ = nullptr;
  QLabel* busLabel_ = nullptr;
  QComboBox* bus_ = nullptr;
  QPushButton* start_ = nullptr;
  QPushButton* reset_ = nullptr;
  QPushButton* logFile_ = nullptr;
  QComboBox* filterMode_ = nullptr;
  QLineEdit* filterList_ = nullptr;
  QCheckBox* filterHex_ = nullptr;
  QCheckBox* showLast_ = nullptr;
  QLabel* activity_ = nullptr;
  QLabel* rate_ = nullptr;
  QLabel* load_ = nullptr;
  QProgressBar* fill_ = nullptr;
  QLabel* fillText_ = nullptr;
  QPushButton* settings_ = nullptr;
  QPushButton* close_ = nullptr;
  LoggerLinesWidget* lines_ = nullptr;
};

// "CAN Logger..." of the main menu: opens the logger, or activates the open
// one. Without a usable interface a message box explains why and nothing
// opens. In factory mode the window has no owner, so the main window stays
// usable beside it.
void Logger_Open(QWidget* owner);
LoggerDialog* Logger_Instance();
// Closes the open logger as its Close button does.
void Logger_Close();

// The settings dialog's opener for the hidden "Settings..." button (the
// logger asks for its page, index 3).
void Logger_SetSettingsOpener(std::function<void(QWidget* parent, int page)> opener);

// For screenshots: opens the logger and starts recording. The caller lets the
// event loop run for a second or two so that lines and rates appear. Returns
// nullptr when the interface cannot be logged.
LoggerDialog* LoggerDialog_OpenForScreenshot(QWidget* owner);
