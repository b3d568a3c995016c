// The bit widget: one row of up to 32 owner-drawn square buttons on a page,
// one per bit, laid over a placeholder control of the page. The rules (what
// is lit, colours, labels, clicks, order) are the BitRow's; the widget paints
// them and tells the page about clicks.
//
//   BitWidget row;
//   row.create(page, placeholder, 'm', 16);  // placeholder hidden, 16 buttons
//   row.setLabelFormat("%d");
//   QObject::connect(&row, &BitWidget::buttonClicked, page, [&](QAbstractButton* b) {
//     if (row.click(b)) writeOutputs();      // the page decides what a click does
//   });
#pragma once

#include <QAbstractButton>
#include <QObject>
#include <QPointer>
#include <vector>

#include "io/BitRow.h"

class BitWidget;

// One button of a row. Its identifier is unique among all bit buttons of the
// run; its object name is "bit<identifier>".
class BitButton : public QAbstractButton {
  Q_OBJECT
 public:
  BitButton(BitWidget& row, int index, uint32_t id, QWidget* parent);
  uint32_t id() const { return id_; }
  int index() const { return index_; }
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  BitWidget& row_;
  int index_;
  uint32_t id_;
};

class BitWidget : public QObject {
  Q_OBJECT
 public:
  explicit BitWidget(QObject* parent = nullptr);
  ~BitWidget() override;

  // Creates count buttons of the placeholder's size on the page, one step
  // (width + 3 pixels) apart, right to left for bit-mask rows when
  // BITWIDGET_REVERSE_ORDER is set; hides the placeholder. Buttons of an
  // earlier create are removed. -1 (reported) when count is above 32.
  int create(QWidget* page, QWidget* placeholder, char mode, int count);

  // Offers a click on `button`: 1 when it is one of this row's buttons and
  // the row takes clicks (the value has changed and the row is redrawn).
  int click(QAbstractButton* button);

  void setValue(uint32_t value);
  uint32_t value() const { return row_.value; }
  void setFlags(uint32_t flags);
  uint32_t flags() const { return row_.flags; }
  // -1 for a format that is not a single integer conversion (kept as it was).
  int setLabelFormat(const QString& format);
  // Shows buttons 0..count-1; -1 (reported) above the created count.
  int setVisible(int count);
  int visible() const { return row_.visible; }
  int created() const { return row_.created; }
  char mode() const { return row_.mode; }

  const BitRow& row() const { return row_; }
  // The button of an index, or nullptr.
  BitButton* button(int index) const;
  // Repaints every button.
  void redraw();

 signals:
  // Any of the row's buttons was clicked, whatever the row's flags.
  void buttonClicked(QAbstractButton* button);

 private:
  void clear();

  BitRow row_;
  // Guarded: the page owns the buttons and may go first.
  std::vector<QPointer<BitButton>> buttons_;
};
