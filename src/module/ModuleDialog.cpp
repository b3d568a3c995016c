#include "module/ModuleDialog.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <set>

#include "core/CanMsg.h"
#include "core/ErrorReport.h"
#include "core/Options.h"
#include "core/Session.h"
#include "module/CascadePlacement.h"
#include "module/ModuleTabs.h"
#include "protocol/ModuleList.h"
#include "protocol/VornProt.h"
#include "protocol/VornProtCommands.h"

namespace {

struct ModuleDialogs {
  // Dialogs alive now: a record's dialog field is trusted only when it names one.
  std::set<ModuleDialog*> live;
  ModuleDialogContext context;
  CascadeOffsets cascade;
};

ModuleDialogs& dialogs() { return Session_Part<ModuleDialogs>(); }

QRect ModuleListScreenRect() {
  const ModuleDialogContext& c = dialogs().context;
  return c.listRect ? c.listRect() : QRect();
}

void OpenHook(ModuleRec* rec) {
  if (ModuleDialog* open = ModuleDialog_FromHandle(rec->dialog)) {
    open->show();
    open->raise();
    open->activateWindow();
    return;
  }
  rec->dialog = static_cast<QWidget*>(ModuleDialog_Open(rec));
}

void ActivateHook(ModuleRec* rec) { OpenHook(rec); }

void CloseHook(ModuleRec* rec) {
  if (ModuleDialog* dialog = ModuleDialog_FromHandle(rec->dialog)) dialog->close();
}

}  // namespace

ModuleDialog::ModuleDialog(ModuleRec* module, QWidget* owner) : QDialog(owner) {
  dialogs().live.insert(this);
  setObjectName("DIALOG_MODULE");
  setAttribute(Qt::WA_DeleteOnClose);
  setModal(false);
  // The main window moves module dialogs along when it moves.
  setProperty("kvxModuleDialog", true);

  auto* layout = new QVBoxLayout(this);
  tabs_ = new QTabWidget(this);
  tabs_->setObjectName(kTabControlName);
  layout->addWidget(tabs_, 1);
  auto* buttons = new QHBoxLayout;
  flash_ = new QPushButton("Flash module LED", this);
  flash_->setObjectName("flashLed");
  flash_->setAutoDefault(false);
  close_ = new QPushButton("Close", this);
  close_->setObjectName("closeButton");
  close_->setAutoDefault(false);
  buttons->addWidget(flash_);
  buttons->addStretch(1);
  buttons->addWidget(close_);
  layout->addLayout(buttons);
  connect(flash_, &QPushButton::clicked, this, &ModuleDialog::flashLed);
  connect(close_, &QPushButton::clicked, this, &ModuleDialog::close);

  TabDialogData* data = TabDialog_Attach(this);
  data->module = module;
  updateTitle();
  TabDialog_Init(this);
  connect(tabs_, &QTabWidget::currentChanged, this, [this] { TabDialog_ShowSelected(this); });
  addPages();
  TabDialog_ShowSelected(this);
  place();
}

ModuleDialog::~ModuleDialog() {
  dialogs().live.erase(this);
  // Destroyed without being closed (its owner went first) or while closing:
  // no record may keep pointing at it.
  ModuleList_DialogClosed(static_cast<QWidget*>(this));
}

ModuleRec* ModuleDialog::module() const {
  TabDialogData* data = TabDialog_Data(const_cast<ModuleDialog*>(this));
  return data ? data->module : nullptr;
}

void ModuleDialog::updateTitle() {
  if (ModuleRec* rec = module()) setWindowTitle(QString::fromStdString(ModuleDialog_MakeTitle(*rec)));
}

void ModuleDialog::addPages() {
  ModuleRec* rec = module();
  if (!rec) return;
  const ModuleDialogContext& context = dialogs().context;
  if (!context.findPage) return;
  for (const ModuleTabEntry& tab : ModuleTabs_List(*rec, ModuleTabs_CurrentModes())) {
    if (TabPageFactory create = context.findPage(tab.pageName))
      TabDialog_AddTab(this, tab.label, tab.pageName, create);
  }
}

void ModuleDialog::place() {
  ModuleRec* rec = module();
  if (!rec) return;
  int x, y;
  if (rec->reopen) {
    x = rec->dialogX;
    y = rec->dialogY;
    rec->reopen = 0;
  } else {
    const QRect list = ModuleListScreenRect();
    Cascade_Place(dialogs().cascade, ModuleList_CountDialogs() > 0, list.x() + list.width(),
                  list.y(), x, y);
  }
  move(x, y);
  rec->dialogX = x;
  rec->dialogY = y;
}

void ModuleDialog::flashLed() {
  ModuleRec* rec = module();
  if (!rec) return;
  CanMsg msg;
  VornProt_SendMessage(msg, rec->node, 8, VORN_CMD_FLASH_LED,
                       {0, 0, 0, 0, 0, 10, Option_GetInt("MODULE_FLASH_CYCLES")});
}

bool ModuleDialog::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate && !closed_) ModuleList_DialogActivated(this);
  return QDialog::event(event);
}

void ModuleDialog::moveEvent(QMoveEvent* event) {
  QDialog::moveEvent(event);
  // The record remembers where the dialog is, so that a re-created dialog
  // opens there.
  ModuleRec* rec = module();
  if (rec && !closed_ && isVisible()) {
    rec->dialogX = x();
    rec->dialogY = y();
  }
}

void ModuleDialog::reject() { close(); }

void ModuleDialog::closeEvent(QCloseEvent* event) {
  if (!closed_) {
    closed_ = true;
    // Boxes shown on the way (an owned window asking, a failed send) run the
    // event loop, in which a scan may re-create or delete this dialog.
    QPointer<ModuleDialog> alive(this);
    if (TabDialogData* data = TabDialog_Data(this)) data->closing = true;
    closeOwnedWindows();
    if (!alive) return;
    ModuleRec* rec = module();
    const bool searchMode = rec && (rec->state & VORN_STATE_MASK) == VORN_STATE_SEARCH_MODE;
    TabDialog_DestroyTabs(this);
    if (TabDialogData* data = TabDialog_Data(this)) data->module = nullptr;
    ModuleList_DialogClosed(static_cast<QWidget*>(this));
    // A module in search mode is told that the search is over, once nothing
    // refers to this dialog any more.
    if (searchMode) {
      CanMsg msg;
      VornProt_SendMessage(msg, 0, 1, VORN_CMD_SEARCH);
    }
    ClearStatusText();
    if (!alive) return;
  }
  // QDialog's own handler would call reject() again.
  QWidget::closeEvent(event);
}

void ModuleDialog::closeOwnedWindows() {
  // Windows made by the pages (a calibration dialog of the analog input page)
  // work on this module; none may outlive its dialog. Each gets its own close
  // handling before the pages go.
  for (QWidget* w : findChildren<QWidget*>())
    if (w->isWindow() && w->isVisible()) w->close();
}

ModuleDialog* ModuleDialog_Open(ModuleRec* module) {
  if (!module) return nullptr;
  auto* dialog = new ModuleDialog(module, dialogs().context.owner);
  dialog->show();
  return dialog;
}

ModuleDialog* ModuleDialog_FromHandle(void* handle) {
  if (!handle) return nullptr;
  for (ModuleDialog* d : dialogs().live)
    if (static_cast<QWidget*>(d) == handle) return d;
  return nullptr;
}

ModuleDialog* ModuleDialog_OfPage(const QWidget* page) {
  return ModuleDialog_FromHandle(TabDialog_DialogOfPage(page));
}

void ModuleDialog_Install(const ModuleDialogContext& context) {
  dialogs().context = context;
  ModuleListHooks hooks;
  hooks.openDialog = OpenHook;
  hooks.closeDialog = CloseHook;
  ModuleList_SetDialogHooks(hooks);
  ModuleList_SetActivateHook(ActivateHook);
}
