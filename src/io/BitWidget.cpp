#include "io/BitWidget.h"

#include <QPainter>

namespace {

QColor ColorOf(const BitRgb& rgb) { return QColor(rgb.r, rgb.g, rgb.b); }

}  // namespace

// ---- BitButton ------------------------------------------------------------------

BitButton::BitButton(BitWidget& row, int index, uint32_t id, QWidget* parent)
    : QAbstractButton(parent), row_(row), index_(index), id_(id) {
  setObjectName(QString("bit%1").arg(id));
  setFocusPolicy(Qt::NoFocus);
}

QSize BitButton::sizeHint() const { return size(); }

void BitButton::paintEvent(QPaintEvent*) {
  const BitLook look = BitRow_Look(row_.row(), index_);
  if (!look.drawn) return;
  QPainter painter(this);
  const QRect frame = rect().adjusted(0, 0, -1, -1);
  painter.fillRect(rect(), ColorOf(look.fill));
  painter.setPen(ColorOf(look.frame));
  painter.drawRect(frame);
  painter.setPen(ColorOf(look.text));
  painter.setBackground(ColorOf(look.fill));
  painter.setBackgroundMode(Qt::OpaqueMode);
  painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine,
                   QString::fromStdString(BitRow_Label(row_.row(), index_)));
}

// ---- BitWidget ------------------------------------------------------------------

BitWidget::BitWidget(QObject* parent) : QObject(parent) {}

BitWidget::~BitWidget() { clear(); }

void BitWidget::clear() {
  for (const QPointer<BitButton>& b : buttons_) delete b.data();
  buttons_.clear();
}

int BitWidget::create(QWidget* page, QWidget* placeholder, char mode, int count) {
  BitRow row;
  if (BitRow_Create(row, mode, count) != 0) return -1;
  clear();
  row_ = row;
  const QRect place = placeholder ? placeholder->geometry() : QRect(0, 0, 16, 16);
  if (placeholder) placeholder->hide();
  const bool reversed = BitRow_Reversed(mode);
  for (int i = 0; i < count; ++i) {
    auto* b = new BitButton(*this, i, row_.firstId + uint32_t(i), page);
    const int left = BitRow_ButtonLeft(place.left(), place.width(), i, count, reversed);
    b->setGeometry(left, place.top(), place.width(), place.height());
    connect(b, &QAbstractButton::clicked, this, [this, b] { emit buttonClicked(b); });
    b->show();
    buttons_.push_back(b);
  }
  return 0;
}

int BitWidget::click(QAbstractButton* button) {
  for (const QPointer<BitButton>& b : buttons_) {
    if (!b || b != button) continue;
    if (!BitRow_Click(row_, b->index())) return 0;
    redraw();
    return 1;
  }
  return 0;
}

void BitWidget::setValue(uint32_t value) {
  row_.value = value;
  redraw();
}

void BitWidget::setFlags(uint32_t flags) {
  row_.flags = flags;
  redraw();
}

int BitWidget::setLabelFormat(const QString& format) {
  const int result = BitRow_SetLabelFormat(row_, format.toStdString());
  redraw();
  return result;
}

int BitWidget::setVisible(int count) {
  if (BitRow_SetVisible(row_, count) != 0) return -1;
  for (int i = 0; i < int(buttons_.size()); ++i) {
    if (buttons_[i]) buttons_[i]->setVisible(i < row_.visible);
  }
  return 0;
}

BitButton* BitWidget::button(int index) const {
  return index >= 0 && index < int(buttons_.size()) ? buttons_[index].data() : nullptr;
}

void BitWidget::redraw() {
  for (const QPointer<BitButton>& b : buttons_) {
    if (b) b->update();
  }
}
