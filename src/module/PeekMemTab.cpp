#include "module/PeekMemTab.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>

#include "module/PeekMemWriteDialog.h"
#include "platform/Clock.h"
#include "protocol/ModuleList.h"

namespace {

// A long dump is shown while it grows, at most this often, so that showing it
// costs next to nothing beside the requests.
constexpr int64_t kShowEveryMs = 250;

QPushButton* Button(QWidget* parent, const char* text, const char* name) {
  auto* b = new QPushButton(text, parent);
  b->setObjectName(name);
  b->setAutoDefault(false);
  return b;
}

}  // namespace

PeekMemTab::PeekMemTab(QWidget* parent) : ModuleTab(parent), dumpTimer_(new QTimer(this)) {
  setObjectName("TAB_MOD_PEEKMEM");
  dumpTimer_->setObjectName("dumpTimer");
  dumpTimer_->setSingleShot(true);
  connect(dumpTimer_, &QTimer::timeout, this, &PeekMemTab::stepDump);

  memType_ = new QComboBox(this);
  memType_->setObjectName("memType");
  for (int t = 0; t < kPeekMemTypeCount; ++t) memType_->addItem(PeekMem_TypeName(t));
  start_ = new QLineEdit(this);
  start_->setObjectName("startAddress");
  length_ = new QLineEdit(this);
  length_->setObjectName("length");
  toFile_ = new QCheckBox("Read to file...", this);
  toFile_->setObjectName("readToFile");
  read_ = Button(this, "Read", "read");
  cancel_ = Button(this, "Cancel", "cancel");
  write_ = Button(this, "Write...", "write");
  cpu_ = new QLabel(this);
  cpu_->setObjectName("cpuType");
  progress_ = new QProgressBar(this);
  progress_->setObjectName("progress");
  progress_->setRange(0, 100);
  progress_->setTextVisible(false);
  progress_->setMaximumHeight(10);
  dumpBox_ = new QPlainTextEdit(this);
  dumpBox_->setObjectName("dump");
  dumpBox_->setReadOnly(true);
  dumpBox_->setLineWrapMode(QPlainTextEdit::NoWrap);
  QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  fixed.setPointSize(8);
  dumpBox_->setFont(fixed);

  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel("Memory:", this), 0, 0);
  grid->addWidget(memType_, 0, 1, 1, 2);
  grid->addWidget(new QLabel("Start address:", this), 1, 0);
  grid->addWidget(start_, 1, 1);
  grid->addWidget(new QLabel("Length:", this), 2, 0);
  grid->addWidget(length_, 2, 1);
  grid->addWidget(toFile_, 1, 2);
  grid->addWidget(cpu_, 2, 2);
  grid->setColumnStretch(2, 1);
  auto* buttons = new QVBoxLayout;
  buttons->addWidget(read_);
  buttons->addWidget(cancel_);
  buttons->addWidget(write_);
  auto* top = new QHBoxLayout;
  top->addLayout(grid, 1);
  top->addLayout(buttons);
  auto* page = new QVBoxLayout(this);
  page->addLayout(top);
  page->addWidget(progress_);
  page->addWidget(dumpBox_, 1);

  connect(read_, &QPushButton::clicked, this, &PeekMemTab::read);
  connect(cancel_, &QPushButton::clicked, this, &PeekMemTab::cancel);
  connect(write_, &QPushButton::clicked, this, &PeekMemTab::openWriteDialog);
  enableControls();
}

PeekMemTab::~PeekMemTab() {
  // A dump that is still running ends here: its file gets what was read and
  // the wait cursor goes.
  if (dump_.running()) {
    dump_.cancel();
    dump_.step();
  }
}

PeekFields PeekMemTab::fields() const {
  PeekFields f;
  f.memType = memType_->currentIndex();
  f.start = start_->text().toStdString();
  f.length = length_->text().toStdString();
  return f;
}

void PeekMemTab::showFields(const PeekFields& f) {
  memType_->setCurrentIndex(f.memType);
  start_->setText(QString::fromStdString(f.start));
  length_->setText(QString::fromStdString(f.length));
}

namespace {
// The dump's lines end in CR LF, as it is written to a file without the CRs.
QString Shown(const std::string& text) { return QString::fromStdString(text).remove(QLatin1Char('\r')); }
}  // namespace

void PeekMemTab::showDump(const std::string& text) {
  dumpBox_->setPlainText(Shown(text));
  shownChars_ = text.size();
  lastShownMs_ = Clock_NowMs();
}

void PeekMemTab::showDumpGrowth() {
  // A running dump only grows: what is new is added at the end.
  const std::string& text = dump_.text();
  if (text.size() < shownChars_) {
    showDump(text);
    return;
  }
  QTextCursor end(dumpBox_->document());
  end.movePosition(QTextCursor::End);
  end.insertText(Shown(text.substr(shownChars_)));
  shownChars_ = text.size();
  lastShownMs_ = Clock_NowMs();
}

void PeekMemTab::showProgress() { progress_->setValue(dump_.running() ? dump_.percent() : 0); }

void PeekMemTab::enableControls() {
  const bool running = dump_.running();
  read_->setEnabled(readEnabled_ && !running);
  cancel_->setEnabled(running);
  write_->setEnabled(!running);
  for (QWidget* w : {static_cast<QWidget*>(memType_), static_cast<QWidget*>(start_),
                     static_cast<QWidget*>(length_), static_cast<QWidget*>(toFile_)})
    w->setEnabled(!running);
}

void PeekMemTab::pageShown() {
  if (dump_.running()) return;  // a dump that went on behind another tab keeps its fields
  ModuleRec* rec = module();
  if (!rec) return;
  QPointer<PeekMemTab> alive(this);
  const PeekShownView v = PeekMem_Shown(*rec);
  if (!alive) return;
  showFields(v.fields);
  showDump(v.dump);
  toFile_->setChecked(false);
  cpu_->setText(QString::fromStdString(v.cpuText));
  readEnabled_ = v.readEnabled;
  showProgress();
  enableControls();
}

void PeekMemTab::pageHidden() {
  ModuleTab::pageHidden();
  PeekFields f = fields();
  PeekMem_StoreFields(f);
}

void PeekMemTab::read() {
  ModuleRec* rec = module();
  if (!rec || dump_.running()) return;
  PeekFields f = fields();
  QPointer<PeekMemTab> alive(this);
  const bool started = dump_.start(*rec, f, toFile_->isChecked());
  if (!alive) return;
  if (!started && dump_.declined()) return;
  showFields(f);
  if (!dump_.cpuText().empty()) cpu_->setText(QString::fromStdString(dump_.cpuText()));
  showDump(dump_.text());
  showProgress();
  enableControls();
  if (started) dumpTimer_->start(0);
}

void PeekMemTab::stepDump() {
  QPointer<PeekMemTab> alive(this);
  const bool more = dump_.step();
  if (!alive) return;
  showProgress();
  if (more) {
    if (Clock_NowMs() - lastShownMs_ >= kShowEveryMs) showDumpGrowth();
    dumpTimer_->start(0);
    return;
  }
  showDumpGrowth();
  enableControls();
}

void PeekMemTab::cancel() { dump_.cancel(); }

void PeekMemTab::openWriteDialog() {
  if (ModuleRec* rec = module()) PeekMemWriteDialog_Show(*rec, this);
}
