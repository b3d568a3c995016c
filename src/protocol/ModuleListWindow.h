// The module list: the main window's working area with the interface caption,
// the Scan Bus button, scan progress and range, the list of modules found and
// the Search button. It shows the lines of the module list and forwards the
// Scan Bus and Search commands to the scan and the search dialog.
#pragma once

#include <QWidget>

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;

class ModuleListWindow : public QWidget {
  Q_OBJECT
 public:
  explicit ModuleListWindow(QWidget* parent = nullptr);
  ~ModuleListWindow() override;

  // Control states from the interface and the scan/busy flags.
  void updateControls();

  QPushButton* scanButton() const { return scanButton_; }
  QPushButton* searchButton() const { return searchButton_; }
  QTreeWidget* list() const { return list_; }
  void setProgress(int percent);

  // The Scan Bus command: starts a scan, or cancels the running one.
  void scanBus();
  // The Search command: clears the status bar and the list, then searches.
  void search();
  // Redraws every line from the module list, keeping the selected line.
  void rebuildLines();
  void selectLine(int listIndex);
  void setHeader(const QString& text);

 signals:
  void scanBusRequested();
  void searchRequested();

 private:
  void onBusSelected(int index);
  void onSelectionChanged();
  void onDoubleClicked();

  QLabel* interfaceLabel_;
  QLabel* detailLabel_;
  QLabel* busLabel_;
  QComboBox* busSelector_;
  QPushButton* scanButton_;
  QProgressBar* progress_;
  QLabel* rangeLabel_;
  QTreeWidget* list_;
  QPushButton* searchButton_;
  bool filling_ = false;
};
