// The module catalogue viewer: rows, columns, sorting and layout.
#include <QCheckBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>

#include "core/ErrorReport.h"
#include "module/ModuleCatalogueView.h"
#include "module/ModuleInfoDialog.h"
#include "protocol/ModuleType.h"
#include "support/GuiHelpers.h"
#include "support/TestEnvironment.h"

namespace {

class ModuleInfoDialogTest : public ScriptedUiTest {
 protected:
  static bool sortedNoCase(const QStringList& texts, bool descending) {
    for (int i = 1; i < texts.size(); ++i) {
      const int c = texts[i - 1].compare(texts[i], Qt::CaseInsensitive);
      if (descending ? c < 0 : c > 0) return false;
    }
    return true;
  }
};

TEST_F(ModuleInfoDialogTest, OpensWithReleasedTypesSortedByName) {
  ModuleInfoDialog d;
  EXPECT_EQ(d.objectName(), "DIALOG_MODULEINFO");
  EXPECT_EQ(d.windowTitle(), "KVX 700 modules");
  EXPECT_EQ(HeaderTexts(d.list()), (QStringList{"Name", "Comment"}));
  EXPECT_EQ(d.list()->columnWidth(0), 100);
  EXPECT_EQ(d.list()->columnWidth(1), 1200);
  EXPECT_EQ(d.list()->selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_FALSE(d.findChild<QCheckBox*>("showModuleType")->isChecked());
  EXPECT_EQ(d.list()->topLevelItemCount(), int(Catalogue_Rows(false).size()));
  EXPECT_TRUE(sortedNoCase(ColumnTexts(d.list(), 0), false));
  const int row = ColumnTexts(d.list(), 0).indexOf("KVX 730-08");
  ASSERT_GE(row, 0);
  EXPECT_EQ(ColumnTexts(d.list(), 1)[row], ModuleType_Find(16)->description);
}

TEST_F(ModuleInfoDialogTest, FactoryModeShowsEveryRowAndTheStatusColumn) {
  FactoryMode_Set(true);
  ModuleInfoDialog d;
  EXPECT_EQ(HeaderTexts(d.list()), (QStringList{"Name", "Status", "Comment"}));
  EXPECT_EQ(d.list()->topLevelItemCount(), ModuleType_Count());
  const QStringList status = ColumnTexts(d.list(), 1);
  EXPECT_TRUE(status.contains("Ok"));
  EXPECT_TRUE(status.contains("-"));
}

TEST_F(ModuleInfoDialogTest, HeaderClicksSortAndToggleTheDirection) {
  ModuleInfoDialog d;
  d.clickColumn(0);  // the sort column again: descending
  EXPECT_TRUE(sortedNoCase(ColumnTexts(d.list(), 0), true));

  // Showing the type rebuilds the columns, sorted by name in the same direction.
  d.findChild<QCheckBox*>("showModuleType")->setChecked(true);
  EXPECT_EQ(HeaderTexts(d.list()), (QStringList{"Name", "Type", "Comment"}));
  EXPECT_EQ(d.list()->columnWidth(1), 50);
  EXPECT_TRUE(sortedNoCase(ColumnTexts(d.list(), 0), true));

  d.clickColumn(1);  // another column: ascending, by number
  EXPECT_LT(ColumnTexts(d.list(), 1).indexOf("9"), ColumnTexts(d.list(), 1).indexOf("10"));
  EXPECT_EQ(d.list()->header()->sortIndicatorSection(), 1);
  EXPECT_EQ(d.list()->header()->sortIndicatorOrder(), Qt::AscendingOrder);
  emit d.list()->header()->sectionClicked(1);  // a click on the header does the same
  EXPECT_GT(ColumnTexts(d.list(), 1).indexOf("9"), ColumnTexts(d.list(), 1).indexOf("10"));
  EXPECT_EQ(d.list()->header()->sortIndicatorOrder(), Qt::DescendingOrder);
}

TEST_F(ModuleInfoDialogTest, ResizingLaysOutListAndButtons) {
  ModuleInfoDialog d;
  d.resize(600, 400);
  d.show();
  d.resize(700, 450);
  auto* close = d.findChild<QPushButton*>("closeButton");
  auto* box = d.findChild<QCheckBox*>("showModuleType");
  const int bh = close->height();
  EXPECT_EQ(d.list()->geometry(), QRect(10, 10, 680, 450 - bh - 30));
  const int below = 10 + (450 - bh - 30) + 12;
  EXPECT_EQ(close->geometry().right(), d.list()->geometry().right());
  EXPECT_EQ(close->y(), below);
  EXPECT_EQ(box->x(), 10);
  EXPECT_EQ(box->y(), below);
}

}  // namespace
