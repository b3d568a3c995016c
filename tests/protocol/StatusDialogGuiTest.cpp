// The "Module Status" dialog with real widgets: columns, cells, legend,
// sorting by header clicks and "Read Status" against the simulated modules.
#include "ProtocolSimFixture.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

#include "core/ErrorReport.h"
#include "protocol/StatusDialog.h"
#include "support/GuiHelpers.h"

namespace {

class StatusDialogTest : public ProtocolSimTest {
 protected:
  void SetUp() override {
    ProtocolSimTest::SetUp();
    connectTestBus();
    Option_SetInt("MSGREQUEST_TIMEOUT_MS", 30);
    // Listed in this table order: nodes 7, 2, 12 (unknown type), 60 (not on the bus).
    ModuleList_Add(7, 'c', 17, 1, 0x01, false);
    ModuleList_Add(2, 'c', 16, 2, 0x85, false);
    ModuleList_Add(12, 'c', 99, 1, 0x23, false);
    ModuleList_Add(60, 'c', 32, 1, 0x05, false);
  }
  QStringList rowTexts(StatusDialog& d, int r) {
    QStringList out;
    for (int c = 0; c < 5; ++c) out << d.list()->topLevelItem(r)->text(c);
    return out;
  }
};

TEST_F(StatusDialogTest, OpensWithOneRowPerModuleSortedByNode) {
  StatusDialog d(nullptr);
  EXPECT_EQ(d.windowTitle(), "Module Status");
  EXPECT_EQ(HeaderTexts(d.list()), (QStringList{"CAN ID", "Name", "Status", "Firmware", "Bootloader"}));
  EXPECT_EQ(d.list()->columnWidth(1), 100);
  EXPECT_EQ(d.list()->selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_EQ(ColumnTexts(d.list(), 0), (QStringList{"2", "7", "12", "60"}));
  EXPECT_EQ(rowTexts(d, 2), (QStringList{"12", "(unknown)", "3 (i)", "(?)", "(?)"}));
  EXPECT_EQ(d.minimumSize(), d.size());
}

TEST_F(StatusDialogTest, TheLegendExplainsTheStateNumbers) {
  StatusDialog d(nullptr);
  QStringList texts;
  for (QLabel* l : d.findChild<QWidget*>("statusLegend")->findChildren<QLabel*>()) texts << l->text();
  for (const char* t : {"Status:", "Invalid NodeID", "Duplicate NodeID", "Illegal Start", "3 (i)",
                        "PreOperational (i)", "Stopped (i)", "5 (i)", "Operational (i)",
                        "(i) = Initialized by\n       KVX master"})
    EXPECT_TRUE(texts.contains(t)) << t;
}

TEST_F(StatusDialogTest, HeaderClicksSortAndReverse) {
  StatusDialog d(nullptr);
  QHeaderView* header = d.list()->header();
  // (The order of each column is the sort logic's test.)
  emit header->sectionClicked(1);  // Name, ascending
  EXPECT_EQ(ColumnTexts(d.list(), 1), (QStringList{"KVX 720-08", "KVX 730-08", "KVX 740-02", "(unknown)"}));
  emit header->sectionClicked(2);  // Status: by node, ascending
  emit header->sectionClicked(2);  // again: descending
  EXPECT_EQ(ColumnTexts(d.list(), 0), (QStringList{"60", "12", "7", "2"}));
  EXPECT_EQ(header->sortIndicatorSection(), 2);
  EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
}

TEST_F(StatusDialogTest, ReadStatusAsksEveryModuleAndFillsTheVersions) {
  StatusDialog d(nullptr);
  emit d.list()->header()->sectionClicked(0);  // descending: 60, 12, 7, 2
  d.findChild<QPushButton*>("readStatus")->click();
  EXPECT_EQ(rowTexts(d, 3), (QStringList{"2", "KVX 730-08", "5", "2.5", "1.2"}));
  EXPECT_EQ(rowTexts(d, 2), (QStringList{"7", "KVX 720-08", "1", "-", "1.1"}));
  EXPECT_EQ(rowTexts(d, 1), (QStringList{"12", "(unknown)", "5", "1.0", "1.0"}));
  EXPECT_EQ(rowTexts(d, 0), (QStringList{"60", "KVX 740-02", "5", "(?)", "(?)"}));
  EXPECT_EQ(GetStatusText(), "*** Error: Module timeout");
  EXPECT_FALSE(ui.waitCursor());

  // Known module info is not asked for again; the state is.
  sim.clearTraffic();
  d.findChild<QPushButton*>("readStatus")->click();
  int infoRequests = 0, identifyRequests = 0;
  for (const SimFrame& f : awaitFramesToModules(5)) {
    infoRequests += f.data[0] == 0x85;
    identifyRequests += f.data[0] == 0x80;
  }
  EXPECT_EQ(identifyRequests, 4);
  EXPECT_EQ(infoRequests, 1);  // only the module that never answered
  // The records keep what was read.
  EXPECT_EQ(recordOfNode(2)->infoValid, 1u);
  EXPECT_EQ(recordOfNode(2)->fwMinor, 5u);
}

}  // namespace
