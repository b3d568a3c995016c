#include "core/MainWindow.h"

#include <QStatusBar>

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
  setObjectName("KVXconfig");
  setWindowTitle("KVXconfig");
  statusBar()->setObjectName("statusBar");
  resize(640, 420);
}
