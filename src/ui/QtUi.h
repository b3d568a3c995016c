// The Qt backend of the user-interaction interface.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <map>

#include "ui/Ui.h"

class QTimer;

class QtUi : public QObject, public UiBackend {
  Q_OBJECT
 public:
  explicit QtUi(QObject* parent = nullptr);
  ~QtUi() override;

  // Message boxes and file dialogs are owned by this window (the main window).
  void setOwnerWindow(QWidget* owner) { owner_ = owner; }
  // The status bar text goes here (the main window's status bar).
  void setStatusSink(std::function<void(const QString&)> sink) { statusSink_ = std::move(sink); }

  UiAnswer messageBox(const std::string& text, const std::string& title, UiButtons buttons,
                      UiIcon icon, bool systemModal) override;
  bool openFileDialog(const UiFileRequest& request, std::string& chosen) override;
  bool saveFileDialog(const UiFileRequest& request, std::string& chosen) override;
  void setWaitCursor(bool on) override;
  void beep() override;
  void showStatusText(const std::string& text) override;
  void armTimer(UiTimer* timer, int periodMs) override;
  void disarmTimer(UiTimer* timer) override;

  static QString filterToQt(const std::string& filter);

 private:
  QPointer<QWidget> owner_;
  std::function<void(const QString&)> statusSink_;
  std::map<UiTimer*, QTimer*> timers_;
  bool waitCursor_ = false;
};
