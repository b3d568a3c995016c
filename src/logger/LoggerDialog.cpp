#include "logger/LoggerDialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QAbstractItemView>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/ErrorReport.h"
#include "core/Session.h"
#include "logger/LoggerLinesWidget.h"
#include "ui/QtSingleInstance.h"

namespace {
struct LoggerSettingsOpener {
  std::function<void(QWidget*, int)> open;
};
std::function<void(QWidget*, int)>& settingsOpener() {
  return Session_Part<LoggerSettingsOpener>().open;
}
constexpr int kSettingsLoggerPage = 3;

QString qt(const std::string& text) { return QString::fromUtf8(text.data(), int(text.size())); }
}  // namespace

LoggerDialog::LoggerDialog(QWidget* owner) : QDialog(owner) {
  setObjectName("DIALOG_CANLOGGER");
  setWindowTitle("CAN Logger");
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowFlag(Qt::WindowMaximizeButtonHint, true);
  session_ = std::make_unique<LoggerSession>(this);
  buildControls();
  loggerControlsChanged();
  loggerIndicatorsChanged();
  resize(760, 520);
}

LoggerDialog::~LoggerDialog() { session_.reset(); }

void LoggerDialog::buildControls() {
  auto* top = new QVBoxLayout(this);

  auto* interfaceRow = new QHBoxLayout;
  interfaceName_ = new QLabel(this);
  interfaceName_->setObjectName("interfaceName");
  QFont bold = interfaceName_->font();
  bold.setBold(true);
  interfaceName_->setFont(bold);
  interfaceDescription_ = new QLabel(this);
  interfaceDescription_->setObjectName("interfaceDescription");
  busLabel_ = new QLabel("CAN bus:", this);
  busLabel_->setObjectName("canBusLabel");
  bus_ = new QComboBox(this);
  bus_->setObjectName("canBus");
  interfaceRow->addWidget(interfaceName_);
  interfaceRow->addWidget(interfaceDescription_, 1);
  interfaceRow->addWidget(busLabel_);
  interfaceRow->addWidget(bus_);
  top->addLayout(interfaceRow);

  auto* buttonRow = new QHBoxLayout;
  start_ = new QPushButton("Start", this);
  start_->setObjectName("startButton");
  reset_ = new QPushButton("Reset", this);
  reset_->setObjectName("resetButton");
  logFile_ = new QPushButton("Log to file...", this);
  logFile_->setObjectName("logFileButton");
  logFile_->setCheckable(true);
  activity_ = new QLabel(this);
  activity_->setObjectName("activity");
  activity_->setMinimumWidth(24);
  activity_->setAlignment(Qt::AlignCenter);
  rate_ = new QLabel("0", this);
  rate_->setObjectName("messagesPerSecond");
  rate_->setMinimumWidth(60);
  rate_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  load_ = new QLabel("0", this);
  load_->setObjectName("busLoad");
  load_->setMinimumWidth(36);
  load_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  buttonRow->addWidget(start_);
  buttonRow->addWidget(reset_);
  buttonRow->addWidget(logFile_);
  buttonRow->addStretch(1);
  buttonRow->addWidget(activity_);
  buttonRow->addWidget(new QLabel("Msg/s:", this));
  buttonRow->addWidget(rate_);
  buttonRow->addWidget(new QLabel("Bus load:", this));
  buttonRow->addWidget(load_);
  buttonRow->addWidget(new QLabel("%", this));
  top->addLayout(buttonRow);

  auto* filterRow = new QHBoxLayout;
  filterMode_ = new QComboBox(this);
  filterMode_->setObjectName("filterMode");
  for (int mode = 0; mode < kFilterModeCount; ++mode)
    filterMode_->addItem(QString::fromUtf8(LoggerFilter_ModeName(mode)));
  filterMode_->setCurrentIndex(session_->filterControlMode());
  filterList_ = new QLineEdit(qt(session_->filterControlText()), this);
  filterList_->setObjectName("filterList");
  filterHex_ = new QCheckBox("Hex ", this);
  filterHex_->setObjectName("filterHex");
  filterHex_->setChecked(session_->filterControlHex());
  showLast_ = new QCheckBox("Always scroll to last message", this);
  showLast_->setObjectName("showLast");
  showLast_->setChecked(session_->showLast());
  filterRow->addWidget(filterMode_);
  filterRow->addWidget(filterList_, 1);
  filterRow->addWidget(filterHex_);
  filterRow->addWidget(showLast_);
  top->addLayout(filterRow);

  lines_ = new LoggerLinesWidget(session_->lines(), session_->factoryMode(), this);
  top->addWidget(lines_, 1);

  auto* bottomRow = new QHBoxLayout;
  bottomRow->addWidget(new QLabel("Display buffer:", this));
  fill_ = new QProgressBar(this);
  fill_->setObjectName("bufferFill");
  fill_->setRange(0, 100);
  fill_->setTextVisible(false);
  fillText_ = new QLabel("0 %", this);
  fillText_->setObjectName("bufferFillText");
  fillText_->setMinimumWidth(48);
  settings_ = new QPushButton("Settings...", this);
  settings_->setObjectName("settingsButton");
  settings_->setVisible(false);
  close_ = new QPushButton("Close", this);
  close_->setObjectName("closeButton");
  bottomRow->addWidget(fill_, 1);
  bottomRow->addWidget(fillText_);
  bottomRow->addStretch(1);
  bottomRow->addWidget(settings_);
  bottomRow->addWidget(close_);
  top->addLayout(bottomRow);

  connect(start_, &QPushButton::clicked, this, [this] { session_->startStop(); });
  connect(reset_, &QPushButton::clicked, this, [this] { session_->resetRestart(); });
  connect(logFile_, &QPushButton::clicked, this, [this] {
    session_->logFileButton();
    loggerControlsChanged();  // the button shows pressed exactly while a file is open
  });
  connect(filterMode_, &QComboBox::currentIndexChanged, this, [this] { filterControlsChanged(); });
  connect(filterHex_, &QCheckBox::toggled, this, [this] { filterControlsChanged(); });
  connect(filterList_, &QLineEdit::textChanged, this,
          [this](const QString& text) { session_->setFilterText(text.toStdString()); });
  connect(showLast_, &QCheckBox::toggled, this, [this](bool on) { session_->setShowLast(on); });
  connect(bus_, &QComboBox::activated, this, [this](int index) { session_->chooseBus(index); });
  connect(settings_, &QPushButton::clicked, this, [this] {
    if (settingsOpener()) settingsOpener()(this, kSettingsLoggerPage);
  });
  connect(close_, &QPushButton::clicked, this, &QDialog::close);
}

void LoggerDialog::filterControlsChanged() {
  session_->filterControlsChanged(filterMode_->currentIndex(), filterList_->text().toStdString(),
                                  filterHex_->isChecked());
}

void LoggerDialog::refreshBusSelector() {
  const bool visible = session_->busSelectorVisible();
  busLabel_->setVisible(visible);
  bus_->setVisible(visible);
  if (!visible) return;
  const QSignalBlocker block(bus_);
  const int count = session_->busCount();
  if (bus_->count() != count) {
    bus_->clear();
    for (int bus = 0; bus < count; ++bus) bus_->addItem(QString::number(bus));
  }
  bus_->setCurrentIndex(session_->currentBus());
  bus_->setEnabled(session_->busSelectorEnabled());
}

void LoggerDialog::loggerClearing() { lines_->lineModel()->beginClear(); }

void LoggerDialog::loggerCleared() { lines_->lineModel()->endClear(); }

void LoggerDialog::loggerLinesAdded() { lines_->lineModel()->commit(); }

void LoggerDialog::loggerScrollToLast() {
  lines_->lineModel()->commit();
  lines_->scrollToLast();
}

void LoggerDialog::loggerControlsChanged() {
  if (!start_) return;  // still being built
  interfaceName_->setText(qt(session_->interfaceText()));
  interfaceDescription_->setText(qt(session_->interfaceDescription()));
  start_->setText(session_->startCaption());
  reset_->setText(session_->resetCaption());
  reset_->setEnabled(session_->resetEnabled());
  logFile_->setChecked(session_->logFileOpen());
  filterList_->setEnabled(session_->filterEditable());
  filterHex_->setEnabled(session_->filterEditable());
  lines_->lineModel()->setRawTimeHeader(session_->rawTimeHeader());
  // A button's own event line shows at once; received frames wait for the display tick.
  lines_->lineModel()->commit();
  refreshBusSelector();
}

void LoggerDialog::loggerIndicatorsChanged() {
  if (!start_) return;
  const bool running = session_->state() == LoggerState::Running;
  activity_->setEnabled(running);
  rate_->setEnabled(running);
  load_->setEnabled(running);
  activity_->setText(qt(session_->activityText()));
  rate_->setText(qt(session_->rateText()));
  load_->setText(qt(session_->loadText()));
  const long fill = session_->fillPercent();
  fill_->setValue(int(fill > 100 ? 100 : fill));
  fillText_->setText(qt(session_->fillText()));
  followBusSelection();
}

// A scan, or a bus chosen in the main window, changes the selector's state
// without telling the logger; the display tick catches up.
void LoggerDialog::followBusSelection() {
  if (!session_->busSelectorVisible() || bus_->view()->isVisible()) return;
  bus_->setEnabled(session_->busSelectorEnabled());
  if (bus_->currentIndex() == session_->currentBus() || session_->currentBus() >= bus_->count()) return;
  const QSignalBlocker block(bus_);
  bus_->setCurrentIndex(session_->currentBus());
  interfaceDescription_->setText(qt(session_->interfaceDescription()));
}

void LoggerDialog::closeEvent(QCloseEvent* event) {
  session_->close();
  event->accept();
}

void LoggerDialog::reject() { close(); }

// ---- opening ---------------------------------------------------------------------

void Logger_Open(QWidget* owner) {
  SingleInstance_Show<LoggerDialog>([owner]() -> LoggerDialog* {
    if (!Logger_InterfaceSupported()) return nullptr;
    return new LoggerDialog(FactoryMode() ? nullptr : owner);
  });
}

LoggerDialog* Logger_Instance() { return SingleInstance_Find<LoggerDialog>(); }

void Logger_Close() {
  if (LoggerDialog* dialog = Logger_Instance()) dialog->close();
}

void Logger_SetSettingsOpener(std::function<void(QWidget*, int)> opener) {
  settingsOpener() = std::move(opener);
}

LoggerDialog* LoggerDialog_OpenForScreenshot(QWidget* owner) {
  Logger_Open(owner);
  LoggerDialog* dialog = Logger_Instance();
  if (dialog && dialog->session().state() != LoggerState::Running) dialog->session().startStop();
  return dialog;
}
