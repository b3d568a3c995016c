// The logger's line list: a table model over the session's raw lines that
// makes each cell's text only when the view asks for it, and the table view
// with the logger's columns and fixed-pitch font. New lines reach the view in
// batches (commit), never one by one.
#pragma once

#include <QAbstractTableModel>
#include <QTableView>

class LogBuffer;

class LoggerLineModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  LoggerLineModel(const LogBuffer& lines, bool factoryMode, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

  // Makes the lines added to the buffer since the last call visible.
  void commit();
  void beginClear();
  void endClear();
  void setRawTimeHeader(bool raw);

 private:
  const LogBuffer& lines_;
  bool factory_;
  bool rawHeader_ = false;
  int rows_ = 0;
};

class LoggerLinesWidget : public QTableView {
  Q_OBJECT
 public:
  LoggerLinesWidget(const LogBuffer& lines, bool factoryMode, QWidget* parent = nullptr);
  LoggerLineModel* lineModel() const { return model_; }
  void scrollToLast();

 private:
  LoggerLineModel* model_;
};
