#include "protocol/ModuleListWindow.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "bus/EthMaster.h"
#include "bus/Interface.h"
#include "core/ErrorReport.h"
#include "core/Options.h"
#include "core/Shell.h"
#include "protocol/BusScan.h"
#include "protocol/ModuleList.h"
#include "protocol/SearchDialog.h"
#include "ui/QtSingleInstance.h"

namespace {
// The one module list window; the module list's hooks reach it through here.
ModuleListWindow* listWindow() { return SingleInstance_Find<ModuleListWindow>(); }

void hookLinesChanged() {
  if (ModuleListWindow* w = listWindow()) w->rebuildLines();
}
void hookSelectLine(int listIndex) {
  if (ModuleListWindow* w = listWindow()) w->selectLine(listIndex);
}
void hookSetHeader(const char* text) {
  if (ModuleListWindow* w = listWindow()) w->setHeader(QString::fromUtf8(text));
}
}  // namespace

ModuleListWindow::ModuleListWindow(QWidget* parent) : QWidget(parent) {
  setObjectName("DIALOG_MODULELIST");
  auto* outer = new QVBoxLayout(this);

  // Interface caption: the two labels stay centred in their box whether or not
  // the bus selector row is shown.
  auto* caption = new QWidget(this);
  caption->setObjectName("interfaceCaption");
  auto* captionLayout = new QVBoxLayout(caption);
  captionLayout->setContentsMargins(0, 0, 0, 0);
  captionLayout->addStretch(1);
  interfaceLabel_ = new QLabel(caption);
  interfaceLabel_->setObjectName("interfaceLabel");
  QFont bold = interfaceLabel_->font();
  bold.setBold(true);
  interfaceLabel_->setFont(bold);
  detailLabel_ = new QLabel(caption);
  detailLabel_->setObjectName("interfaceDetailLabel");
  captionLayout->addWidget(interfaceLabel_);
  captionLayout->addWidget(detailLabel_);
  auto* busRow = new QHBoxLayout;
  busLabel_ = new QLabel("CAN bus:", caption);
  busLabel_->setObjectName("canBusLabel");
  busSelector_ = new QComboBox(caption);
  busSelector_->setObjectName("canBusSelector");
  busRow->addWidget(busLabel_);
  busRow->addWidget(busSelector_);
  busRow->addStretch(1);
  captionLayout->addLayout(busRow);
  captionLayout->addStretch(1);
  caption->setFixedHeight(3 * fontMetrics().height() + 24);
  outer->addWidget(caption);

  auto* scanRow = new QHBoxLayout;
  scanButton_ = new QPushButton("Scan Bus", this);
  scanButton_->setObjectName("scanButton");
  progress_ = new QProgressBar(this);
  progress_->setObjectName("scanProgress");
  progress_->setRange(0, 100);
  progress_->setTextVisible(false);
  rangeLabel_ = new QLabel(this);
  rangeLabel_->setObjectName("scanRangeLabel");
  scanRow->addWidget(scanButton_);
  scanRow->addWidget(progress_, 1);
  scanRow->addWidget(rangeLabel_);
  outer->addLayout(scanRow);

  list_ = new QTreeWidget(this);
  list_->setObjectName("moduleListView");
  list_->setColumnCount(2);
  list_->setHeaderLabels({"CAN ID", "Name"});  // set for the active bus at each scan
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->header()->setStretchLastSection(true);
  list_->setColumnWidth(0, 70);
  outer->addWidget(list_, 1);

  searchButton_ = new QPushButton("Search", this);
  searchButton_->setObjectName("searchButton");
  auto* searchRow = new QHBoxLayout;
  searchRow->addWidget(searchButton_);
  searchRow->addStretch(1);
  outer->addLayout(searchRow);

  connect(scanButton_, &QPushButton::clicked, this, &ModuleListWindow::scanBusRequested);
  connect(searchButton_, &QPushButton::clicked, this, &ModuleListWindow::searchRequested);
  connect(busSelector_, &QComboBox::currentIndexChanged, this, &ModuleListWindow::onBusSelected);
  connect(list_, &QTreeWidget::itemSelectionChanged, this, &ModuleListWindow::onSelectionChanged);
  connect(list_, &QTreeWidget::itemDoubleClicked, this, &ModuleListWindow::onDoubleClicked);

  Session_Part<SingleInstanceSlot<ModuleListWindow>>().window = this;
  ModuleListHooks hooks;
  hooks.linesChanged = hookLinesChanged;
  hooks.selectLine = hookSelectLine;
  hooks.setHeader = hookSetHeader;
  ModuleList_SetViewHooks(hooks);
  BusScan_SetProgressHook([this](int percent) { setProgress(percent); });
  rebuildLines();
}

ModuleListWindow::~ModuleListWindow() {
  if (listWindow() == this) {
    ModuleList_SetViewHooks(ModuleListHooks{});
    BusScan_SetProgressHook(nullptr);
  }
}

void ModuleListWindow::updateControls() {
  const bool active = InterfaceActive();
  const bool scanning = ScanRunning();
  scanButton_->setEnabled(active && !Busy());
  scanButton_->setText(scanning ? "Cancel" : "Scan Bus");
  progress_->setVisible(scanning);
  searchButton_->setEnabled(active && !scanning && !Busy());

  if (Option_GetInt("SCAN_FLASHMODE"))
    rangeLabel_->setText("Scan range: all");
  else
    rangeLabel_->setText(QString::asprintf("Scan range:  %d - %d", Option_GetInt("SCAN_RANGE_START"),
                                           Option_GetInt("SCAN_RANGE_STOP")));

  interfaceLabel_->setText(active ? QString::fromUtf8(GetInterfaceName())
                                  : QString("(No interface selected)"));
  detailLabel_->setText(QString::fromUtf8(GetInterfaceDescription()));

  const bool ethernet = GetInterfaceType() == kInterfaceEthernet;
  busLabel_->setVisible(ethernet);
  busSelector_->setVisible(ethernet);
  if (ethernet) {
    filling_ = true;
    busSelector_->clear();
    const int count = EthMaster_GetCanBusCount();
    for (int bus = 0; bus < count; ++bus) busSelector_->addItem(QString::asprintf("%d", bus));
    busSelector_->setCurrentIndex(EthMaster_GetCanBusNo());
    busSelector_->setEnabled(count >= 2 && !scanning);
    filling_ = false;
  }
}

void ModuleListWindow::setProgress(int percent) { progress_->setValue(percent); }

void ModuleListWindow::scanBus() { BusScan_Command(); }

void ModuleListWindow::search() {
  ClearStatusText();
  ModuleList_Clear();
  SearchDialog_Open(this);
}

void ModuleListWindow::rebuildLines() {
  // Redrawing is no selection by the user: no status text for it.
  const QSignalBlocker blocker(list_);
  // The selection stays with its module, wherever its line moves: a record
  // freed in the middle of the table and reused puts a new line before it.
  QTreeWidgetItem* current = list_->currentItem();
  const QVariant selected = current ? current->data(0, Qt::UserRole) : QVariant();
  list_->clear();
  QTreeWidgetItem* reselect = nullptr;
  for (ModuleRec* rec = ModuleList_Next(nullptr); rec; rec = ModuleList_Next(rec)) {
    const QString line = QString::fromStdString(ModuleList_LineText(rec));
    const int tab = line.indexOf('\t');
    auto* item = new QTreeWidgetItem(list_);
    item->setText(0, line.left(tab));
    item->setText(1, line.mid(tab + 1));
    item->setData(0, Qt::UserRole, QVariant::fromValue(quintptr(rec)));
    if (selected.isValid() && selected.value<quintptr>() == quintptr(rec)) reselect = item;
  }
  if (reselect) list_->setCurrentItem(reselect);
}

void ModuleListWindow::selectLine(int listIndex) {
  const QSignalBlocker blocker(list_);
  if (listIndex >= 0 && listIndex < list_->topLevelItemCount())
    list_->setCurrentItem(list_->topLevelItem(listIndex));
  else
    list_->setCurrentItem(nullptr);
}

void ModuleListWindow::setHeader(const QString& text) { list_->headerItem()->setText(0, text); }

void ModuleListWindow::onSelectionChanged() {
  ModuleList_ShowStatus(ModuleList_AtLine(list_->indexOfTopLevelItem(list_->currentItem())));
}

void ModuleListWindow::onDoubleClicked() {
  ModuleList_OpenDialog(ModuleList_AtLine(list_->indexOfTopLevelItem(list_->currentItem())));
}

void ModuleListWindow::onBusSelected(int index) {
  if (filling_ || index < 0) return;
  EthMaster_SetCanBusNo(index);
  Option_SetInt("ETHERNET_CANBUSNO", EthMaster_GetCanBusNo());
  UpdateControls();
}
