// The module list: the main window's working area with the interface caption,
// the Scan Bus button, scan progress and range, the list of modules found and
// the Search button.
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

  // Control states from the interface and the scan/busy flags.
  void updateControls();

  QPushButton* scanButton() const { return scanButton_; }
  QPushButton* searchButton() const { return searchButton_; }
  QTreeWidget* list() const { return list_; }
  void setProgress(int percent);

 signals:
  void scanBusRequested();
  void searchRequested();

 private:
  void onBusSelected(int index);

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
