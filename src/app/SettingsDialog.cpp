#include "app/SettingsDialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "calib/CalibratorSettingsTab.h"
#include "calib/TestoSettingsTab.h"
#include "core/ErrorReport.h"
#include "core/SettingsPages.h"
#include "ui/QtSingleInstance.h"

namespace {

QString qt(const std::string& text) { return QString::fromUtf8(text.c_str()); }
std::string utf8(const QString& text) { return text.toUtf8().toStdString(); }

QCheckBox* box(QWidget* parent, const char* text, const char* name) {
  auto* b = new QCheckBox(text, parent);
  b->setObjectName(name);
  return b;
}

QLineEdit* field(QWidget* parent, const char* name, int width = 70) {
  auto* f = new QLineEdit(parent);
  f->setObjectName(name);
  f->setMaximumWidth(width);
  return f;
}

class GeneralTab : public TabPage {
 public:
  explicit GeneralTab(QWidget* parent) : TabPage(parent) {
    auto* layout = new QVBoxLayout(this);
    askExit_ = box(this, "Ask before exit", "askBeforeExit");
    statusBar_ = box(this, "Show warnings in status bar only", "errorsInStatusBar");
    debug_ = box(this, "Enable Debug Features", "debugFeatures");
    moduleTest_ = box(this, "Enable Module Test Features", "moduleTestFeatures");
    reverse_ = box(this, "Reverse Bit Field Display Order", "reverseBitOrder");
    auto_ = box(this, "Automatic interface settings", "autoInterfaceSettings");
    // There, but not offered: the option is not changed here.
    QCheckBox* sounds = box(this, "Play Sounds", "playSounds");
    sounds->hide();
    for (QCheckBox* b : {askExit_, statusBar_, debug_, moduleTest_, reverse_, auto_}) layout->addWidget(b);
    layout->addStretch(1);
    moduleTest_->setVisible(FactoryMode());
    reverse_->setVisible(FactoryMode());
  }

 protected:
  void pageShown() override {
    const GeneralSettings g = GeneralPage_Show();
    askExit_->setChecked(g.askBeforeExit);
    statusBar_->setChecked(g.errorsInStatusBar);
    debug_->setChecked(g.debugFeatures);
    moduleTest_->setChecked(g.moduleTest);
    reverse_->setChecked(g.reverseBits);
    auto_->setChecked(g.autoInterface);
    debugWhenShown_ = g.debugFeatures;
  }
  void pageHidden() override {
    GeneralSettings g;
    g.askBeforeExit = askExit_->isChecked();
    g.errorsInStatusBar = statusBar_->isChecked();
    g.debugFeatures = debug_->isChecked();
    g.moduleTest = moduleTest_->isChecked();
    g.reverseBits = reverse_->isChecked();
    g.autoInterface = auto_->isChecked();
    GeneralPage_Store(g, debugWhenShown_);
  }

 private:
  QCheckBox *askExit_, *statusBar_, *debug_, *moduleTest_, *reverse_, *auto_;
  bool debugWhenShown_ = false;
};

class ScanBusTab : public TabPage {
 public:
  explicit ScanBusTab(QWidget* parent) : TabPage(parent) {
    auto* layout = new QVBoxLayout(this);
    onStart_ = box(this, "Automatically perform bus scan after program start", "scanOnStart");
    layout->addWidget(onStart_);
    from_ = field(this, "scanRangeFrom", 50);
    to_ = field(this, "scanRangeTo", 50);
    auto* range = new QHBoxLayout;
    range->addWidget(new QLabel("Scan Node IDs from", this));
    range->addWidget(from_);
    range->addWidget(new QLabel("to", this));
    range->addWidget(to_);
    range->addWidget(new QLabel("(max. Range: 1 to 127)", this));
    range->addStretch(1);
    layout->addLayout(range);
    interval_ = field(this, "scanInterval", 50);
    auto* interval = new QHBoxLayout;
    interval->addWidget(new QLabel("Scan Interval:", this));
    interval->addWidget(interval_);
    interval->addWidget(new QLabel("ms", this));
    interval->addWidget(new QLabel("(min. Interval: 10 ms)", this));
    interval->addStretch(1);
    layout->addLayout(interval);
    openDialogs_ = box(this, "Automatically open dialogs for found modules: max.", "openDialogs");
    maxDialogs_ = field(this, "maxDialogs", 50);
    auto* dialogs = new QHBoxLayout;
    dialogs->addWidget(openDialogs_);
    dialogs->addWidget(maxDialogs_);
    dialogs->addStretch(1);
    layout->addLayout(dialogs);
    flash_ = box(this, "Flash Scan", "flashScan");
    layout->addWidget(flash_);
    layout->addStretch(1);
    connect(flash_, &QCheckBox::toggled, this, [this] { enableFields(); });
    connect(openDialogs_, &QCheckBox::toggled, this, [this] { enableFields(); });
  }

 protected:
  void pageShown() override {
    const ScanBusSettings s = ScanBusPage_Show();
    onStart_->setChecked(s.scanOnStart);
    from_->setText(qt(s.rangeFrom));
    to_->setText(qt(s.rangeTo));
    interval_->setText(qt(s.interval));
    openDialogs_->setChecked(s.openDialogs);
    maxDialogs_->setText(qt(s.maxDialogs));
    flash_->setChecked(s.flashScan);
    enableFields();
  }
  void pageHidden() override {
    ScanBusSettings s;
    s.scanOnStart = onStart_->isChecked();
    s.rangeFrom = utf8(from_->text());
    s.rangeTo = utf8(to_->text());
    s.interval = utf8(interval_->text());
    s.openDialogs = openDialogs_->isChecked();
    s.maxDialogs = utf8(maxDialogs_->text());
    s.flashScan = flash_->isChecked();
    ScanBusPage_Store(s);
  }

 private:
  // A flash scan asks all nodes at once: no range, no interval.
  void enableFields() {
    const bool nodeByNode = !flash_->isChecked();
    from_->setEnabled(nodeByNode);
    to_->setEnabled(nodeByNode);
    interval_->setEnabled(nodeByNode);
    maxDialogs_->setEnabled(openDialogs_->isChecked());
  }

  QCheckBox *onStart_, *openDialogs_, *flash_;
  QLineEdit *from_, *to_, *interval_, *maxDialogs_;
};

class FirmwareTab : public TabPage {
 public:
  explicit FirmwareTab(QWidget* parent) : TabPage(parent) {
    auto* grid = new QGridLayout(this);
    sync_ = box(this, "Synchronous data transmission", "syncTransmission");
    grid->addWidget(sync_, 0, 0, 1, 4);
    interval_ = field(this, "sendInterval");
    grid->addWidget(new QLabel("Data Send Interval:", this), 1, 0);
    grid->addWidget(interval_, 1, 1);
    grid->addWidget(new QLabel("ms", this), 1, 2);
    grid->addWidget(new QLabel("(min. Interval: 0.1 ms)", this), 1, 3);
    wrongType_ = box(this, "Allow update of wrong module type", "allowWrongType");
    grid->addWidget(wrongType_, 2, 0, 1, 4);
    grid->setRowStretch(3, 1);
    grid->setColumnStretch(4, 1);
  }

 protected:
  void pageShown() override {
    const FirmwareSettings f = FirmwarePage_Show();
    sync_->setChecked(f.synchronous);
    interval_->setText(qt(f.interval));
    wrongType_->setChecked(f.allowWrongType);
  }
  void pageHidden() override {
    FirmwareSettings f;
    f.synchronous = sync_->isChecked();
    f.interval = utf8(interval_->text());
    f.allowWrongType = wrongType_->isChecked();
    FirmwarePage_Store(f);
  }

 private:
  QCheckBox *sync_, *wrongType_;
  QLineEdit* interval_;
};

class LoggerTab : public TabPage {
 public:
  explicit LoggerTab(QWidget* parent) : TabPage(parent) {
    auto* grid = new QGridLayout(this);
    buffer_ = field(this, "displayBuffer", 90);
    grid->addWidget(new QLabel("Display Buffer:", this), 0, 0);
    grid->addWidget(buffer_, 0, 1);
    grid->addWidget(new QLabel("messages", this), 0, 2);
    timestamp_ = box(this, "Display Source Timestamp", "sourceTimestamp");
    grid->addWidget(timestamp_, 1, 0, 1, 3);
    grid->setRowStretch(2, 1);
    grid->setColumnStretch(3, 1);
  }

 protected:
  void pageShown() override {
    const LoggerSettings l = LoggerPage_Show();
    buffer_->setText(qt(l.bufferSize));
    timestamp_->setChecked(l.sourceTimestamp);
  }
  void pageHidden() override { LoggerPage_Store({utf8(buffer_->text()), timestamp_->isChecked()}); }

 private:
  QLineEdit* buffer_;
  QCheckBox* timestamp_;
};

// The pages in order; the factory pages only in factory mode.
struct SettingsPageRow {
  const char* label;
  const char* pageName;
  bool factoryOnly;
  TabPageFactory make;
};

const SettingsPageRow kPages[] = {
    {"General", "TAB_SET_GENERAL", false, [](QWidget* p) { return new GeneralTab(p); }},
    {"Scan Bus", "TAB_SET_SCANBUS", false, [](QWidget* p) { return new ScanBusTab(p); }},
    {"Firmware Update", "TAB_SET_FIRMWARE", false, [](QWidget* p) { return new FirmwareTab(p); }},
    {"CAN Logger", "TAB_SET_LOGGER", false, [](QWidget* p) { return new LoggerTab(p); }},
    {"Calibrator", "TAB_SET_CALIBRATOR", true, [](QWidget* p) { return new CalibratorSettingsTab(p); }},
    {"Testo 701", "TAB_SET_TESTO", true, [](QWidget* p) { return new TestoSettingsTab(p); }},
};

}  // namespace

SettingsDialog::SettingsDialog(QWidget* parent, int page)
    : PagedSettingsDialog(parent, "DIALOG_SETTINGS", "Settings", "OK") {
  for (const SettingsPageRow& row : kPages)
    if (row.make && (!row.factoryOnly || FactoryMode())) addPage(row.label, row.pageName, row.make);
  selectPage(SettingsPages_OpeningPage(page, pageCount()));
  rememberPageWith(SettingsPages_RememberPage);
}

void SettingsDialog_Open(QWidget* parent, int page) {
  if (SettingsDialog* open = SettingsDialog_Instance()) {
    if (page >= 0) open->selectPage(page);
    open->raise();
    open->activateWindow();
    return;
  }
  SettingsDialog dialog(parent, page);
  Session_Part<SingleInstanceSlot<SettingsDialog>>().window = &dialog;
  dialog.exec();
}

SettingsDialog* SettingsDialog_Instance() { return SingleInstance_Find<SettingsDialog>(); }
