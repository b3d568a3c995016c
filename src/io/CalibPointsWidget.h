// The two user calibration points of one analog channel, as the Analog In
// and Analog Out pages show them: per point the stored raw value, the
// calibrated (reference) value, an entry for a new calibration value and
// "Set" / "Clear". The rows always work on the channel's user set.
#pragma once

#include <QWidget>

class QLineEdit;
class QPushButton;
struct ModuleRec;

class CalibPointsWidget : public QWidget {
  Q_OBJECT
 public:
  explicit CalibPointsWidget(QWidget* parent = nullptr);

  // The channel the rows work on: its channel byte (+0x80 for an output) and
  // its configuration code (for the value texts). Nothing is read here.
  void setChannel(ModuleRec* module, int channelByte, int code);
  // Empties every text and entry.
  void clearTexts();
  // Reads both points and shows them. -1 when a read failed (reported).
  int showPoints();
  void setRowsEnabled(bool enabled);

  // "Set" and "Clear" of point 1 or 2. Set: true when the entry held a
  // number and the module took the calibration.
  bool calibrate(int point);
  void clearPoint(int point);

  QLineEdit* entry(int point) const { return rows_[point - 1].entry; }

 signals:
  // After "Set" (`succeeded` tells whether the module took it) or "Clear".
  void pointChanged(bool succeeded);

 private:
  struct Row {
    QLineEdit* stored;
    QLineEdit* calibrated;
    QLineEdit* entry;
    QPushButton* set;
    QPushButton* clear;
  };
  Row rows_[2];
  ModuleRec* module_ = nullptr;
  int channelByte_ = 0;
  int code_ = 0;
};
