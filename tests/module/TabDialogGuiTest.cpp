// The tab framework on a plain dialog: pages are added up to the limit, learn
// when they are shown and hidden, and go with their data when destroyed.
#include <QDialog>
#include <QTabWidget>
#include <QVBoxLayout>

#include "core/Options.h"
#include "ui/TabDialog.h"
#include "support/TestEnvironment.h"

namespace {

struct Counts {
  int shown = 0;
  int hidden = 0;
};

class CountingPage : public TabPage {
 public:
  CountingPage(QWidget* parent, Counts* counts) : TabPage(parent), counts_(counts) {}

 protected:
  void pageShown() override { ++counts_->shown; }
  void pageHidden() override { ++counts_->hidden; }

 private:
  Counts* counts_;
};

struct FlagData : TabPageData {
  explicit FlagData(bool* gone) : gone_(gone) {}
  ~FlagData() override { *gone_ = true; }
  bool* gone_;
};

class TabDialogTest : public ScriptedUiTest {
 protected:
  void SetUp() override {
    ScriptedUiTest::SetUp();
    Option_SetInt("ERRORS_IN_STATUSBAR", 0);  // errors come as boxes the test expects
    dialog = new QDialog;
    auto* layout = new QVBoxLayout(dialog);
    auto* tabs = new QTabWidget(dialog);
    tabs->setObjectName(kTabControlName);
    layout->addWidget(tabs);
    data = TabDialog_Attach(dialog);
    TabDialog_Init(dialog);
    QObject::connect(tabs, &QTabWidget::currentChanged, dialog, [this] { TabDialog_ShowSelected(dialog); });
  }
  void TearDown() override {
    delete dialog;
    ScriptedUiTest::TearDown();
  }
  int add(const char* label, Counts* counts) {
    return TabDialog_AddTab(dialog, label, "TAB_TEST",
                            [counts](QWidget* parent) { return new CountingPage(parent, counts); });
  }

  QDialog* dialog = nullptr;
  TabDialogData* data = nullptr;
};

TEST_F(TabDialogTest, SixteenPagesAtMost) {
  Counts counts[17];
  EXPECT_EQ(data->tabControl, dialog->findChild<QTabWidget*>(kTabControlName));
  EXPECT_EQ(data->currentTab, -1);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(add("Page", &counts[i]), i);
  ui.expectMessage("Too many tabs in dialog (max. 16)", UiAnswer::Ok);
  EXPECT_EQ(add("One too many", &counts[16]), -1);
  EXPECT_EQ(data->tabCount, 16);
  EXPECT_EQ(data->tabControl->count(), 16);
  EXPECT_EQ(data->tabSlots[15].page->objectName(), "TAB_TEST");
  EXPECT_EQ(TabDialog_DataOfPage(data->tabSlots[3].page), data);
  EXPECT_EQ(TabDialog_ResolveTab(data->tabSlots[3].page), &data->tabSlots[3]);
}

TEST_F(TabDialogTest, PagesLearnWhenTheyAreShownAndHidden) {
  Counts a, b, c;
  add("A", &a);
  add("B", &b);
  add("C", &c);
  TabDialog_ShowSelected(dialog);
  EXPECT_EQ(a.shown, 0);  // nothing is visible before the dialog is
  dialog->show();
  EXPECT_EQ(a.shown, 1);
  EXPECT_EQ(b.shown + c.shown, 0);
  EXPECT_EQ(data->currentTab, 0);

  TabDialog_Select(dialog, 2);
  EXPECT_EQ(TabDialog_GetSelected(dialog), 2);
  EXPECT_EQ(data->currentTab, 2);
  EXPECT_EQ(a.hidden, 1);
  EXPECT_EQ(c.shown, 1);
  EXPECT_EQ(b.shown, 0);

  // Closing: the visible page is hidden once, no other page is shown on the
  // way, and the pages' data goes with them.
  bool gone = false;
  data->tabSlots[1].data = std::make_unique<FlagData>(&gone);
  data->shared.get<int>() = 7;
  TabDialog_DestroyTabs(dialog);
  EXPECT_TRUE(gone);
  EXPECT_EQ(c.hidden, 1);
  EXPECT_EQ(a.shown, 1);
  EXPECT_EQ(b.shown, 0);
  EXPECT_EQ(data->tabCount, 0);
  EXPECT_EQ(data->tabSlots[0].page, nullptr);
}

TEST_F(TabDialogTest, SharedAreaStartsZeroAndKeepsOneObjectPerType) {
  struct Channels {
    int count;
    double values[4];
  };
  Channels& ch = data->shared.get<Channels>();
  EXPECT_EQ(ch.count, 0);
  EXPECT_EQ(ch.values[3], 0.0);
  ch.count = 3;
  EXPECT_EQ(data->shared.get<Channels>().count, 3);
  EXPECT_EQ(data->shared.get<int>(), 0);
}

TEST_F(TabDialogTest, APageOfAnotherDialogIsNotResolved) {
  QWidget stray;
  ui.expectMessage("internal error: can't resolve tabdata", UiAnswer::Ok);
  EXPECT_EQ(TabDialog_ResolveTab(&stray), nullptr);
  EXPECT_EQ(TabDialog_DataOfPage(&stray), nullptr);
}

}  // namespace
