// The bit widget on a real page: where its buttons sit, what they paint,
// what a click does, and how it ends.
#include <QAbstractButton>
#include <QWidget>
#include <memory>
#include <set>
#include <vector>

#include "core/Options.h"
#include "io/BitWidget.h"
#include "support/TestEnvironment.h"

namespace {

class BitWidgetTest : public ScriptedUiTest {
 protected:
  void SetUp() override {
    ScriptedUiTest::SetUp();
    page = std::make_unique<QWidget>();
    page->resize(600, 200);
    placeholder = new QWidget(page.get());
    placeholder->setGeometry(20, 30, 16, 14);
    page->show();
  }
  void TearDown() override {
    page.reset();
    ScriptedUiTest::TearDown();
  }
  static QColor Pixel(QAbstractButton* b, int x, int y) { return b->grab().toImage().pixelColor(x, y); }

  std::unique_ptr<QWidget> page;
  QWidget* placeholder = nullptr;
};

TEST_F(BitWidgetTest, ButtonsStepFromThePlaceholderWhichHides) {
  BitWidget row;
  ASSERT_EQ(row.create(page.get(), placeholder, 'm', 8), 0);
  EXPECT_TRUE(placeholder->isHidden());
  std::set<QString> names;
  for (int i = 0; i < 8; ++i) {
    BitButton* b = row.button(i);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->geometry(), QRect(20 + 19 * i, 30, 16, 14)) << i;
    EXPECT_EQ(b->objectName(), QString("bit%1").arg(row.row().firstId + i));
    names.insert(b->objectName());
  }
  BitWidget next;
  ASSERT_EQ(next.create(page.get(), placeholder, 'r', 4), 0);
  EXPECT_EQ(names.count(next.button(0)->objectName()), 0u);  // identifiers never repeat
}

TEST_F(BitWidgetTest, ReverseOrderPutsBitZeroRightmostInMaskRowsOnly) {
  Option_SetInt("BITWIDGET_REVERSE_ORDER", 1);
  BitWidget mask, oneOfN;
  ASSERT_EQ(mask.create(page.get(), placeholder, 'm', 4), 0);
  ASSERT_EQ(oneOfN.create(page.get(), placeholder, 'r', 4), 0);
  EXPECT_EQ(mask.button(0)->x(), 20 + 3 * 19);
  EXPECT_EQ(mask.button(3)->x(), 20);
  EXPECT_EQ(oneOfN.button(0)->x(), 20);
}

TEST_F(BitWidgetTest, ButtonsPaintTheColoursOfTheirState) {
  BitWidget row;
  ASSERT_EQ(row.create(page.get(), placeholder, 'm', 2), 0);
  row.setValue(1);
  EXPECT_EQ(Pixel(row.button(0), 3, 3), QColor(49, 106, 197));  // lit fill
  EXPECT_EQ(Pixel(row.button(0), 0, 0), QColor(0, 0, 0));       // lit frame
  EXPECT_EQ(Pixel(row.button(1), 3, 3), QColor(255, 255, 255));
  EXPECT_EQ(Pixel(row.button(1), 0, 0), QColor(136, 136, 136));
  row.setFlags(BITROW_FLAG_DISABLED);
  EXPECT_EQ(Pixel(row.button(0), 3, 3), QColor(255, 255, 255));
  EXPECT_EQ(Pixel(row.button(0), 0, 0), QColor(204, 204, 204));
  row.setFlags(BITROW_FLAG_HIDDEN);
  EXPECT_NE(Pixel(row.button(0), 0, 0), QColor(204, 204, 204));
  EXPECT_NE(Pixel(row.button(0), 3, 3), QColor(49, 106, 197));
}

TEST_F(BitWidgetTest, ClicksAreReportedAndTakenByTheirOwnRow) {
  BitWidget row;
  ASSERT_EQ(row.create(page.get(), placeholder, 'm', 4), 0);
  std::vector<QAbstractButton*> reported;
  QObject::connect(&row, &BitWidget::buttonClicked, [&](QAbstractButton* b) { reported.push_back(b); });
  row.button(2)->click();
  ASSERT_EQ(reported.size(), 1u);
  QAbstractButton* clicked = reported[0];
  EXPECT_EQ(clicked, row.button(2));
  EXPECT_EQ(row.value(), 0u);  // the page decides
  EXPECT_EQ(row.click(clicked), 1);
  EXPECT_EQ(row.value(), 4u);
  BitWidget other;
  ASSERT_EQ(other.create(page.get(), placeholder, 'm', 4), 0);
  EXPECT_EQ(other.click(clicked), 0);  // not one of its buttons
}

TEST_F(BitWidgetTest, ThePageMayGoFirst) {
  BitWidget row;
  ASSERT_EQ(row.create(page.get(), placeholder, 'm', 4), 0);
  page.reset();
  EXPECT_EQ(row.button(0), nullptr);
  row.setValue(3);
  EXPECT_EQ(row.setVisible(2), 0);
}

}  // namespace
