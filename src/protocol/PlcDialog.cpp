#include "protocol/PlcDialog.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

#include "bus/EthMaster.h"
#include "platform/Clock.h"
#include "protocol/PlcState.h"
#include "ui/QtSingleInstance.h"

PlcDialog::PlcDialog(QWidget* owner) : QDialog(owner) {
  setObjectName("DIALOG_PLCSTARTSTOP");
  setWindowTitle("PLC Start/Stop");
  setAttribute(Qt::WA_DeleteOnClose);
  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel("Current PLC Status:", this), 0, 0);
  status_ = new QLabel(this);
  status_->setObjectName("plcStatus");
  grid->addWidget(status_, 0, 1);
  start_ = new QPushButton("Start PLC", this);
  start_->setObjectName("startPlc");
  stop_ = new QPushButton("Stop PLC", this);
  stop_->setObjectName("stopPlc");
  start_->setEnabled(false);
  stop_->setEnabled(false);
  grid->addWidget(start_, 1, 0);
  grid->addWidget(stop_, 1, 1);
  auto* warning =
      new QLabel("Warning: Changing the run status may bring your machine into a dangerous state!",
                 this);
  warning->setWordWrap(true);
  grid->addWidget(warning, 2, 0, 1, 2);
  connect(start_, &QPushButton::clicked, this, [this] { command(true); });
  connect(stop_, &QPushButton::clicked, this, [this] { command(false); });
  poll_.setCallback([this] { poll(); });
  poll_.start(kPlcFirstPollMs);
  move(100, 250);
}

PlcDialog::~PlcDialog() { poll_.stop(); }

int PlcDialog::refresh() {
  const int state = EthMaster_GetRunState();
  status_->setText(QString::fromStdString(PlcState_Text(state)));
  start_->setEnabled(PlcState_CanStart(state));
  stop_->setEnabled(PlcState_CanStop(state));
  return state;
}

void PlcDialog::poll() {
  poll_.stop();
  // A master that stops answering is not asked again until the dialog reopens.
  if (refresh() != kPlcNoAnswer) poll_.start(kPlcPollMs);
}

void PlcDialog::command(bool run) {
  EthMaster_SetRunState(run ? 1 : 0);
  Clock_SleepMs(1000);
  refresh();
}

void PlcDialog_Open(QWidget* owner) {
  SingleInstance_Show<PlcDialog>([owner]() -> PlcDialog* {
    return EthMaster_IsMasterAnswering() ? new PlcDialog(owner) : nullptr;
  });
}

void PlcDialog_Close() {
  PlcDialog* dialog = SingleInstance_Release<PlcDialog>();
  if (!dialog) return;
  dialog->pollTimer().stop();
  dialog->close();  // deletes itself
}

PlcDialog* PlcDialog_Instance() { return SingleInstance_Find<PlcDialog>(); }

namespace {
// The owner the link's hook opens the dialog with.
struct PlcDialogOwner {
  QPointer<QWidget> owner;
};
}  // namespace

void PlcDialog_InstallLinkHooks(QWidget* owner) {
  Session_Part<PlcDialogOwner>().owner = owner;
  EthMaster_SetPlcDialogHooks([] { PlcDialog_Open(Session_Part<PlcDialogOwner>().owner); },
                              [] { PlcDialog_Close(); });
}
