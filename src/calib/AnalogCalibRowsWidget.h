// The channel rows of the calibration dialogs, one line of controls per
// channel: number, configuration, present value and bar, scale symbol, the
// two points (X and reference) with "Set" and "Clear", and for inputs
// "Out to Ch %d". Each control carries its identifier 8192 + 256 x k +
// channel in the property "controlId" and a stable object name ("set1_3",
// "clear2_0", "out5", "config7", "value2", ...).
#pragma once

#include <QWidget>
#include <functional>
#include <vector>

class AnalogCalibChannels;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

class AnalogCalibRowsWidget : public QWidget {
  Q_OBJECT
 public:
  AnalogCalibRowsWidget(int channels, bool withOut, QWidget* parent = nullptr);

  // Shows the rows as the calibration has them; the enable rules of "Set"
  // and "Out to Ch" come from the dialog's logic.
  void render(const AnalogCalibChannels& calib, const std::function<bool(int channel, int point)>& setEnabled,
              const std::function<bool(int channel)>& outEnabled);
  // Height of one row, for sizing the dialog.
  int rowHeight() const;

 signals:
  void setClicked(int channel, int point);
  void clearClicked(int channel, int point);
  void outClicked(int channel);

 private:
  struct Row {
    QLabel* number;
    QLineEdit* config;
    QLineEdit* value;
    QProgressBar* bar;
    QLabel* scale;
    QLabel* label[2];
    QLineEdit* x[2];
    QLineEdit* ref[2];
    QPushButton* set[2];
    QPushButton* clear[2];
    QPushButton* out = nullptr;
  };
  std::vector<Row> rows_;
};
