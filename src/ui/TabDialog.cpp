#include "ui/TabDialog.h"

#include <QHideEvent>
#include <QShowEvent>
#include <QTabWidget>

#include "core/ErrorReport.h"

namespace {

constexpr const char* kHolderName = "kvxTabDialogData";

// Carries the block as a child of the dialog, so that it goes with the dialog.
class TabDialogHolder : public QObject {
 public:
  explicit TabDialogHolder(QObject* parent) : QObject(parent) { setObjectName(kHolderName); }
  TabDialogData data;
};

TabDialogHolder* HolderOf(const QWidget* widget) {
  if (!widget) return nullptr;
  return dynamic_cast<TabDialogHolder*>(
      widget->findChild<QObject*>(kHolderName, Qt::FindDirectChildrenOnly));
}

}  // namespace

TabDialogData* TabDialog_Attach(QWidget* dialog) {
  if (TabDialogHolder* old = HolderOf(dialog)) delete old;
  return &(new TabDialogHolder(dialog))->data;
}

TabDialogData* TabDialog_Data(QWidget* dialog) {
  TabDialogHolder* holder = HolderOf(dialog);
  return holder ? &holder->data : nullptr;
}

QWidget* TabDialog_DialogOfPage(const QWidget* page) {
  // The page sits in the tab widget's page stack; the dialog is the first
  // ancestor that carries a block.
  for (QWidget* w = page ? page->parentWidget() : nullptr; w; w = w->parentWidget())
    if (HolderOf(w)) return w;
  return nullptr;
}

TabDialogData* TabDialog_DataOfPage(const QWidget* page) {
  return TabDialog_Data(TabDialog_DialogOfPage(page));
}

void TabDialog_Init(QWidget* dialog) {
  TabDialogData* d = TabDialog_Data(dialog);
  if (!d) return;
  d->tabControl = dialog->findChild<QTabWidget*>(kTabControlName);
  d->tabCount = 0;
  d->currentTab = -1;
}

int TabDialog_AddTab(QWidget* dialog, const char* label, const char* pageName,
                     const TabPageFactory& create) {
  TabDialogData* d = TabDialog_Data(dialog);
  if (!d || !d->tabControl || !create) return -1;
  if (d->tabCount >= kTabDialogMaxTabs) {
    ShowError("Too many tabs in dialog (max. %d)", kTabDialogMaxTabs);
    return -1;
  }
  QWidget* page = create(d->tabControl);
  if (!page) return -1;
  page->setObjectName(pageName);
  const int index = d->tabControl->addTab(page, QString::fromUtf8(label));
  d->tabSlots[d->tabCount].page = page;
  ++d->tabCount;
  return index;
}

void TabDialog_ShowSelected(QWidget* dialog) {
  TabDialogData* d = TabDialog_Data(dialog);
  if (!d || !d->tabControl) return;
  const int selected = d->tabControl->currentIndex();
  // The tab widget's page stack has already hidden the page left and shown
  // the selected one; the block follows.
  d->currentTab = selected;
}

void TabDialog_Select(QWidget* dialog, int index) {
  TabDialogData* d = TabDialog_Data(dialog);
  if (d && d->tabControl) d->tabControl->setCurrentIndex(index);
}

int TabDialog_GetSelected(QWidget* dialog) {
  TabDialogData* d = TabDialog_Data(dialog);
  return d && d->tabControl ? d->tabControl->currentIndex() : -1;
}

void TabDialog_DestroyTabs(QWidget* dialog) {
  TabDialogData* d = TabDialog_Data(dialog);
  if (!d) return;
  // Hiding the tab control hides the visible page (which may store its
  // controls, so its data must still exist); deleting the pages then shows
  // none of the others on the way.
  if (d->tabControl) d->tabControl->hide();
  for (TabSlot& slot : d->tabSlots) {
    delete slot.page;
    slot.page = nullptr;
    slot.data.reset();
  }
  d->tabCount = 0;
  d->currentTab = -1;
}

TabSlot* TabDialog_ResolveTab(const QWidget* page) {
  TabDialogData* d = TabDialog_DataOfPage(page);
  if (d && page) {
    for (TabSlot& slot : d->tabSlots)
      if (slot.page == page) return &slot;
  }
  ShowError("internal error: can't resolve tabdata");
  return nullptr;
}

void TabPage::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // A window coming back from the task bar is no new showing of the page.
  if (!event->spontaneous()) pageShown();
}

void TabPage::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  if (!event->spontaneous()) pageHidden();
}
