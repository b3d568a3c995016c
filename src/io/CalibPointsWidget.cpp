#include "io/CalibPointsWidget.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "io/CalibPoints.h"

CalibPointsWidget::CalibPointsWidget(QWidget* parent) : QWidget(parent) {
  setObjectName("calibPoints");
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->addWidget(new QLabel("User Calibration", this), 0, 0);
  grid->addWidget(new QLabel("CalibPoint:", this), 0, 1);
  grid->addWidget(new QLabel("CalibValue:", this), 0, 2);
  grid->addWidget(new QLabel("New CalibValue:", this), 0, 3);
  for (int p = 1; p <= 2; ++p) {
    Row& row = rows_[p - 1];
    const QString prefix = QString("point%1").arg(p);
    auto makeText = [&](const char* suffix, bool readOnly) {
      auto* t = new QLineEdit(this);
      t->setObjectName(prefix + suffix);
      t->setReadOnly(readOnly);
      t->setMinimumWidth(90);
      return t;
    };
    auto makeButton = [&](const char* text, const char* suffix) {
      auto* b = new QPushButton(text, this);
      b->setObjectName(prefix + suffix);
      b->setAutoDefault(false);
      return b;
    };
    row.stored = makeText("Stored", true);
    row.calibrated = makeText("Calibrated", true);
    row.entry = makeText("Entry", false);
    row.set = makeButton("Set", "Set");
    row.clear = makeButton("Clear", "Clear");
    grid->addWidget(new QLabel(p == 1 ? "Point 1 (Low):" : "Point 2 (High):", this), p, 0);
    grid->addWidget(row.stored, p, 1);
    grid->addWidget(row.calibrated, p, 2);
    grid->addWidget(row.entry, p, 3);
    grid->addWidget(row.set, p, 4);
    grid->addWidget(row.clear, p, 5);
    connect(row.set, &QPushButton::clicked, this, [this, p] { calibrate(p); });
    connect(row.clear, &QPushButton::clicked, this, [this, p] { clearPoint(p); });
  }
}

void CalibPointsWidget::setChannel(ModuleRec* module, int channelByte, int code) {
  module_ = module;
  channelByte_ = channelByte;
  code_ = code;
}

void CalibPointsWidget::clearTexts() {
  for (Row& row : rows_) {
    row.stored->clear();
    row.calibrated->clear();
    row.entry->clear();
  }
}

void CalibPointsWidget::setRowsEnabled(bool enabled) {
  for (Row& row : rows_)
    for (QWidget* w : std::initializer_list<QWidget*>{row.stored, row.calibrated, row.entry, row.set, row.clear})
      w->setEnabled(enabled);
}

int CalibPointsWidget::showPoints() {
  if (!module_) return -1;
  // Each point is read on its own: a point that could not be read leaves
  // the other one shown.
  int result = 0;
  for (int p = 1; p <= 2; ++p) {
    Row& row = rows_[p - 1];
    CalibPointTexts texts{row.stored->text().toStdString(), row.calibrated->text().toStdString()};
    if (CalibData_ShowPoint(*module_, p, false, channelByte_, code_, CALIB_DISPLAY_STORED, texts) != 0)
      result = -1;
    row.stored->setText(QString::fromStdString(texts.x));
    row.calibrated->setText(QString::fromStdString(texts.y));
  }
  return result;
}

bool CalibPointsWidget::calibrate(int point) {
  if (!module_ || point < 1 || point > 2) return false;
  double value = 0;
  if (!CalibData_ParseValue(value, code_, CALIB_DISPLAY_STORED, rows_[point - 1].entry->text().toStdString())) {
    return false;
  }
  // The user set does not depend on the configuration: range 0.
  const bool ok = CalibData_CalibratePoint(*module_, point, false, channelByte_, 0, value) == 1;
  emit pointChanged(ok);
  return ok;
}

void CalibPointsWidget::clearPoint(int point) {
  if (!module_) return;
  CalibData_ClearPoint(*module_, point, false, channelByte_, 0);
  emit pointChanged(true);
}
