#include <QApplication>
#include <csignal>
#include <clocale>

#include "app/MainWindow.h"
#include "app/QtExitSignals.h"
#include "core/ErrorReport.h"
#include "core/Session.h"
#include "ui/QtUi.h"

int main(int argc, char** argv) {
  // A file size limit makes a write fail (and the file it was for stay as it
  // was) instead of ending the program.
  std::signal(SIGXFSZ, SIG_IGN);
  QApplication app(argc, argv);
  app.setApplicationName("KVXconfig");
  // Qt adopts the user's locale; numbers in texts and files keep the decimal point.
  setlocale(LC_NUMERIC, "C");
  // Ending the session or Ctrl+C closes the program like File > Exit, without
  // the question: the window's destruction below saves the options.
  bool exitAsked = false;
  QtExitSignals exitSignals([&exitAsked](int) {
    exitAsked = true;
    QApplication::exit(0);
  });
  QtUi ui;
  Ui_Install(&ui);
  int code = 0;
  {
    // The program's state; its timers run on the Qt backend, so it ends first.
    Session session;
    FactoryMode_DecideAtStart();
    MainWindow window(&ui);
    window.startUp();
    // A signal taken by a message box during start-up ended only that box's loop.
    if (!exitAsked) code = app.exec();
  }  // the window's destruction closes the interface and saves the options
  Ui_Install(nullptr);
  return code;
}
