#include <QApplication>

#include "core/MainWindow.h"
#include "ui/QtUi.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QtUi ui;
  Ui_Install(&ui);
  MainWindow window;
  ui.setOwnerWindow(&window);
  window.show();
  const int code = app.exec();
  Ui_Install(nullptr);
  return code;
}
