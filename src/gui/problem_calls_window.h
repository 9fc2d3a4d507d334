#pragma once
// The window "Проблемные вызовы": the last run's calls whose field groups
// failed. Above, the messages with their numbers of calls, each with a bar,
// the commonest first; below, the calls of the chosen message, sortable by
// any column and copied to the clipboard as tab-separated text (Ctrl+C the
// selected rows, "Копировать" all of them), so that staff can find them in
// the dispatch system.
#include <QAbstractTableModel>
#include <QDialog>
#include <QString>
#include <vector>

#include "conversion/problem_calls.h"

class QTableView;
class QTableWidget;
class QLabel;

namespace velt {

// The calls of one message, in the log's order until sorted.
class ProblemCallsModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  static constexpr int kRecordColumn = 0;
  static constexpr int kCallColumn = 1;
  static constexpr int kDateColumn = 2;
  static constexpr int kSurnameColumn = 3;
  static constexpr int kColumnCount = 4;

  explicit ProblemCallsModel(const ProblemCalls& problems, QObject* parent = nullptr);
  void ShowMessage(std::uint32_t message);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

 private:
  const ProblemCall& Call(int row) const { return problems_.Calls()[rows_[static_cast<std::size_t>(row)]]; }

  const ProblemCalls& problems_;
  std::vector<std::size_t> rows_;  // positions in problems_.Calls()
};

class ProblemCallsWindow : public QDialog {
  Q_OBJECT

 public:
  ProblemCallsWindow(const ProblemCalls& problems, QWidget* owner = nullptr);

  QTableWidget& Messages() { return *messages_; }
  QTableView& Calls() { return *calls_; }
  // Chooses the message in row `row` of the upper list (its calls below).
  void ChooseMessage(int row);
  // "record<TAB>call<TAB>date<TAB>surname" lines in the order the table shows them.
  QString SelectedRowsText() const;
  QString AllRowsText() const;
  void CopySelected() const;
  void CopyAll() const;

 private:
  const ProblemCalls& problems_;
  std::vector<ProblemGroup> groups_;
  QTableWidget* messages_ = nullptr;
  ProblemCallsModel* model_ = nullptr;
  QTableView* calls_ = nullptr;
  QLabel* callsCaption_ = nullptr;
};

// Shows the calls modally over `owner`.
void ShowProblemCalls(QWidget* owner, const ProblemCalls& problems);

}  // namespace velt
