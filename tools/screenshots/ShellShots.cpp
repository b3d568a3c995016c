// Shots of the main window and the PLC start/stop dialog.
#include <QApplication>

#include "Screenshots.h"
#include "app/MainWindow.h"
#include "protocol/PlcDialog.h"

KVX_SCREENSHOT("main-window") { return (QWidget*)ctx.mainWindow; }

KVX_SCREENSHOT("plc-startstop") {
  PlcDialog_Open(ctx.mainWindow);
  PlcDialog* dialog = PlcDialog_Instance();
  if (dialog) dialog->refresh();
  return dialog;
}
