// Ending the program from outside: SIGTERM, SIGINT and SIGHUP (a desktop
// session ending, Ctrl+C in the terminal that started it) close the program
// as File > Exit does, without the question, so the shutdown runs in its
// order, the options are saved and the debug log gets its footer.
#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

class QtExitSignals : public QObject {
 public:
  // Installs the handlers; onSignal runs in the event loop, never in the
  // handler, with the signal's number. After the first signal the handlers
  // are the system's again: a second one ends the program at once.
  explicit QtExitSignals(std::function<void(int)> onSignal, QObject* parent = nullptr);
  ~QtExitSignals() override;

 private:
  void arrived();
  void restoreHandlers();

  std::function<void(int)> onSignal_;
  int fds_[2] = {-1, -1};  // written by the handler, read in the event loop
  QSocketNotifier* notifier_ = nullptr;
  bool installed_ = false;
};
