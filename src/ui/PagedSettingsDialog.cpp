#include "ui/PagedSettingsDialog.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "core/Shell.h"

PagedSettingsDialog::PagedSettingsDialog(QWidget* parent, const char* objectName, const char* title,
                                         const char* okText)
    : QDialog(parent) {
  setObjectName(objectName);
  setWindowTitle(title);
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  tabs_ = new QTabWidget(this);
  tabs_->setObjectName(kTabControlName);
  tabs_->setUsesScrollButtons(false);  // every tab label in full: the dialog widens
  layout->addWidget(tabs_, 1);
  auto* buttons = new QHBoxLayout;
  auto* ok = new QPushButton(okText, this);
  ok->setObjectName("okButton");
  ok->setDefault(true);
  buttons->addStretch(1);
  buttons->addWidget(ok);
  layout->addLayout(buttons);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  UpdateControls();
  TabDialog_Attach(this);
  TabDialog_Init(this);
  connect(tabs_, &QTabWidget::currentChanged, this, [this] { TabDialog_ShowSelected(this); });
}

void PagedSettingsDialog::addPage(const char* label, const char* pageName, const TabPageFactory& create) {
  TabDialog_AddTab(this, label, pageName, create);
}

void PagedSettingsDialog::selectPage(int page) {
  const int count = tabs_->count();
  if (count == 0) return;
  TabDialog_Select(this, page < 0 ? 0 : page >= count ? count - 1 : page);
  TabDialog_ShowSelected(this);
}

int PagedSettingsDialog::selectedPage() const { return tabs_->currentIndex(); }

int PagedSettingsDialog::pageCount() const { return tabs_->count(); }

void PagedSettingsDialog::done(int result) {
  if (!closed_) {
    closed_ = true;
    if (remember_ && selectedPage() >= 0) remember_(selectedPage());
    TabDialog_DestroyTabs(this);  // the visible page stores its values
    UpdateControls();
  }
  QDialog::done(result);
}
