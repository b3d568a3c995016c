// The program's main window: menu, embedded module list, status bar, the
// keep-alive timer, start-up and the orderly shutdown that saves the options.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QRect>
#include <map>

#include "ui/Ui.h"

class QAction;
class QLabel;
class QMenu;
class ModuleListWindow;
class QtUi;

class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  explicit MainWindow(QtUi* ui, QWidget* parent = nullptr);
  ~MainWindow() override;

  // Start-up from the option corrections to the optional first scan. Returns
  // false when opening the default interface failed (already reported).
  bool startUp();

  // Recomputes menu and module-list control states.
  void updateControls();

  ModuleListWindow* moduleList() const { return moduleList_; }
  QAction* action(const QString& objectName) const;
  QMenu* interfaceMenu() const { return interfaceMenu_; }

  // Shutdown steps run when the window is destroyed; public so that tests can
  // check the stored options without tearing the application down.
  void shutDown();

 signals:
  void scanBusCommand();
  void searchCommand();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void buildMenu();
  QAction* addAction(QMenu* menu, const QString& caption, const QString& name);
  void relabelInterfaceMenu();
  void selectInterface(int row);
  void keepAliveTick();
  void followMainWindow();
  void showAbout();

  QtUi* ui_;
  ModuleListWindow* moduleList_ = nullptr;
  QLabel* statusLabel_ = nullptr;
  QMenu* interfaceMenu_ = nullptr;
  std::map<int, QAction*> interfaceActions_;  // by interface table row
  UiTimer keepAlive_;
  QRect lastRect_;
  bool lastRectKnown_ = false;
  bool shutDown_ = false;
};
