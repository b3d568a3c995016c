#include "calib/AnalogCalibRowsWidget.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>

#include "calib/AnalogCalibChannels.h"

namespace {

// Control identifiers: 8192 + 256 x k + channel.
constexpr int kIdBase = 8192;
enum RowKind {
  kNumber = 0, kConfig = 1, kValue = 2, kBar = 3, kScale = 4, kLabel1 = 5, kLabel2 = 6,
  kX1 = 7, kX2 = 8, kRef1 = 9, kRef2 = 10, kSet1 = 11, kSet2 = 12, kClear1 = 13, kClear2 = 14, kOut = 15,
};

template <class W>
W* Named(W* widget, const QString& name, int kind, int channel) {
  widget->setObjectName(name);
  widget->setProperty("controlId", kIdBase + 256 * kind + channel);
  return widget;
}

QLineEdit* Field(QWidget* parent, int width) {
  auto* field = new QLineEdit(parent);
  field->setReadOnly(true);
  field->setFixedWidth(width);
  return field;
}

QPushButton* Button(const QString& text, QWidget* parent) {
  auto* button = new QPushButton(text, parent);
  button->setAutoDefault(false);
  return button;
}

void SetText(QLineEdit* field, const std::string& text) {
  const QString t = QString::fromStdString(text);
  if (field->text() != t) field->setText(t);
}

}  // namespace

AnalogCalibRowsWidget::AnalogCalibRowsWidget(int channels, bool withOut, QWidget* parent) : QWidget(parent) {
  setObjectName("calibRows");
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setVerticalSpacing(2);
  const QString headers[] = {"Ch.", "Configuration", "Value", "", "", "", "CalibPoint:", "CalibValue:"};
  for (int i = 0; i < 8; ++i) grid->addWidget(new QLabel(headers[i], this), 0, i);
  rows_.resize(size_t(channels));
  for (int c = 0; c < channels; ++c) {
    Row& r = rows_[size_t(c)];
    const int line = c + 1;
    r.number = Named(new QLabel(QString::number(c), this), QString("chan%1").arg(c), kNumber, c);
    r.config = Named(Field(this, 170), QString("config%1").arg(c), kConfig, c);
    r.value = Named(Field(this, 90), QString("value%1").arg(c), kValue, c);
    r.bar = Named(new QProgressBar(this), QString("bar%1").arg(c), kBar, c);
    r.bar->setRange(0, 100);
    r.bar->setTextVisible(false);
    r.bar->setFixedWidth(60);
    r.scale = Named(new QLabel(this), QString("scale%1").arg(c), kScale, c);
    r.scale->setPixmap(style()->standardIcon(QStyle::SP_FileDialogListView).pixmap(12, 12));
    int column = 0;
    for (QWidget* w : {static_cast<QWidget*>(r.number), static_cast<QWidget*>(r.config),
                       static_cast<QWidget*>(r.value), static_cast<QWidget*>(r.bar),
                       static_cast<QWidget*>(r.scale)}) {
      grid->addWidget(w, line, column++);
    }
    for (int p = 0; p < 2; ++p) {
      const int n = p + 1;
      r.label[p] = Named(new QLabel(p == 0 ? "1 (L):" : "2 (H):", this), QString("label%1_%2").arg(n).arg(c),
                         p == 0 ? kLabel1 : kLabel2, c);
      r.x[p] = Named(Field(this, 80), QString("x%1_%2").arg(n).arg(c), p == 0 ? kX1 : kX2, c);
      r.ref[p] = Named(Field(this, 80), QString("ref%1_%2").arg(n).arg(c), p == 0 ? kRef1 : kRef2, c);
      r.set[p] = Named(Button("Set", this), QString("set%1_%2").arg(n).arg(c), p == 0 ? kSet1 : kSet2, c);
      r.clear[p] = Named(Button("Clear", this), QString("clear%1_%2").arg(n).arg(c), p == 0 ? kClear1 : kClear2, c);
      for (QWidget* w : {static_cast<QWidget*>(r.label[p]), static_cast<QWidget*>(r.x[p]),
                         static_cast<QWidget*>(r.ref[p]), static_cast<QWidget*>(r.set[p]),
                         static_cast<QWidget*>(r.clear[p])}) {
        grid->addWidget(w, line, column++);
      }
      connect(r.set[p], &QPushButton::clicked, this, [this, c, n] { emit setClicked(c, n); });
      connect(r.clear[p], &QPushButton::clicked, this, [this, c, n] { emit clearClicked(c, n); });
    }
    if (withOut) {
      r.out = Named(Button(QString("Out to Ch %1").arg(c), this), QString("out%1").arg(c), kOut, c);
      grid->addWidget(r.out, line, column++);
      connect(r.out, &QPushButton::clicked, this, [this, c] { emit outClicked(c); });
    }
  }
  grid->setColumnStretch(grid->columnCount(), 1);
}

int AnalogCalibRowsWidget::rowHeight() const {
  return rows_.empty() ? 24 : rows_.front().set[0]->sizeHint().height() + 2;
}

void AnalogCalibRowsWidget::render(const AnalogCalibChannels& calib,
                                   const std::function<bool(int, int)>& setEnabled,
                                   const std::function<bool(int)>& outEnabled) {
  for (size_t i = 0; i < rows_.size(); ++i) {
    const int c = int(i);
    Row& r = rows_[i];
    const CalibRow& row = calib.row(c);
    const bool active = calib.rowActive(c);
    SetText(r.config, row.configText);
    r.config->setEnabled(active);
    SetText(r.value, active ? row.valueText : std::string());
    r.bar->setValue(active ? row.bar : 0);
    for (int p = 0; p < 2; ++p) {
      SetText(r.x[p], active ? row.points[p].x : std::string());
      SetText(r.ref[p], active ? row.points[p].y : std::string());
      r.set[p]->setEnabled(active && setEnabled(c, p + 1));
      r.clear[p]->setEnabled(active);
    }
    if (r.out) r.out->setEnabled(active && outEnabled(c));
  }
}
