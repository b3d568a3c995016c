#include <QApplication>
#include <clocale>

#include "core/ErrorReport.h"
#include "core/MainWindow.h"
#include "protocol/PlcDialog.h"
#include "ui/QtUi.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  app.setApplicationName("KVXconfig");
  // Qt adopts the user's locale; numbers in texts and files keep the decimal point.
  setlocale(LC_NUMERIC, "C");
  SetScanRunning(false);
  SetBusy(false);
  FactoryMode_DecideAtStart();
  QtUi ui;
  Ui_Install(&ui);
  PlcDialog_InstallLinkHooks();
  int code = 0;
  {
    MainWindow window(&ui);
    window.startUp();
    code = app.exec();
  }  // the window's destruction closes the interface and saves the options
  Ui_Install(nullptr);
  return code;
}
