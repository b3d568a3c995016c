#include "logger/LoggerLinesWidget.h"

#include <QFontDatabase>
#include <QHeaderView>

#include "logger/LogBuffer.h"
#include "logger/LogLine.h"

LoggerLineModel::LoggerLineModel(const LogBuffer& lines, bool factoryMode, QObject* parent)
    : QAbstractTableModel(parent), lines_(lines), factory_(factoryMode) {}

int LoggerLineModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int LoggerLineModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant LoggerLineModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rows_ || size_t(index.row()) >= lines_.count()) return {};
  if (role == Qt::TextAlignmentRole) {
    if (index.column() == kColCobId || index.column() == kColLen) return int(Qt::AlignCenter);
    return int(Qt::AlignLeft | Qt::AlignVCenter);
  }
  if (role != Qt::DisplayRole) return {};
  const LogEntry& entry = lines_.at(size_t(index.row()));
  std::string text;
  LogLine_AppendColumn(entry, index.column(), lines_.textOf(entry), factory_, text);
  return QString::fromUtf8(text.data(), int(text.size()));
}

QVariant LoggerLineModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal) return {};
  if (role == Qt::TextAlignmentRole)
    return section == kColCobId || section == kColLen ? int(Qt::AlignCenter)
                                                      : int(Qt::AlignLeft | Qt::AlignVCenter);
  if (role != Qt::DisplayRole) return {};
  return QString::fromUtf8(LogLine_ColumnHeader(section, rawHeader_));
}

void LoggerLineModel::commit() {
  const int count = int(lines_.count());
  if (count <= rows_) return;
  beginInsertRows(QModelIndex(), rows_, count - 1);
  rows_ = count;
  endInsertRows();
}

void LoggerLineModel::beginClear() { beginResetModel(); }

void LoggerLineModel::endClear() {
  rows_ = 0;
  endResetModel();
}

void LoggerLineModel::setRawTimeHeader(bool raw) {
  if (raw == rawHeader_) return;
  rawHeader_ = raw;
  emit headerDataChanged(Qt::Horizontal, kColTime, kColTime);
}

LoggerLinesWidget::LoggerLinesWidget(const LogBuffer& lines, bool factoryMode, QWidget* parent)
    : QTableView(parent), model_(new LoggerLineModel(lines, factoryMode, this)) {
  setObjectName("loggerLines");
  setModel(model_);
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  font.setPointSize(8);
  setFont(font);
  setShowGrid(true);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setWordWrap(false);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  // Every row has the same height, so the view never measures rows.
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(QFontMetrics(font).height() + 2);
  QHeaderView* header = horizontalHeader();
  header->setSectionResizeMode(QHeaderView::Interactive);
  header->setStretchLastSection(true);
  header->setMinimumSectionSize(40);
  setColumnWidth(kColTime, 140);
  setColumnWidth(kColCobId, 60);
  setColumnWidth(kColLen, 40);
  setColumnWidth(kColData, 220);
  setMinimumWidth(140 + 60 + 40 + 220 + 100 + 24);
}

void LoggerLinesWidget::scrollToLast() {
  const int rows = model_->rowCount();
  if (rows > 0) scrollTo(model_->index(rows - 1, 0), QAbstractItemView::PositionAtBottom);
}
