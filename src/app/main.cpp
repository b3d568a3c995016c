#include <QApplication>
#include <clocale>

#include "app/MainWindow.h"
#include "core/ErrorReport.h"
#include "core/Session.h"
#include "ui/QtUi.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  app.setApplicationName("KVXconfig");
  // Qt adopts the user's locale; numbers in texts and files keep the decimal point.
  setlocale(LC_NUMERIC, "C");
  QtUi ui;
  Ui_Install(&ui);
  int code = 0;
  {
    // The program's state; its timers run on the Qt backend, so it ends first.
    Session session;
    FactoryMode_DecideAtStart();
    MainWindow window(&ui);
    window.startUp();
    code = app.exec();
  }  // the window's destruction closes the interface and saves the options
  Ui_Install(nullptr);
  return code;
}
