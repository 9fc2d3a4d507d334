#include "gui/table_text.h"

#include <QAbstractItemModel>
#include <QItemSelectionModel>
#include <QStringList>
#include <QTableView>
#include <algorithm>

namespace velt {
namespace {

QString RowText(const QAbstractItemModel& model, int row) {
  QStringList cells;
  for (int column = 0; column < model.columnCount(); ++column)
    cells << model.index(row, column).data(Qt::DisplayRole).toString();
  return cells.join(QLatin1Char('\t'));
}

}  // namespace

QString AllRowsText(const QAbstractItemModel& model) {
  QString text;
  for (int row = 0; row < model.rowCount(); ++row) text += RowText(model, row) + QLatin1Char('\n');
  return text;
}

QString HeaderRowText(const QAbstractItemModel& model) {
  QStringList titles;
  for (int column = 0; column < model.columnCount(); ++column)
    titles << model.headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
  return titles.join(QLatin1Char('\t')) + QLatin1Char('\n');
}

QString SelectedRowsText(const QTableView& view) {
  QModelIndexList rows = view.selectionModel()->selectedRows();
  std::sort(rows.begin(), rows.end(),
            [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
  QString text;
  for (const QModelIndex& index : rows) text += RowText(*view.model(), index.row()) + QLatin1Char('\n');
  return text;
}

}  // namespace velt
